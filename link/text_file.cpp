#include "link/text_file.h"
bool openTextReader(TextReader&, const char*) { return false; }
void closeTextReader(TextReader&) {}
void rewindTextReader(TextReader&) {}
int readTextChar(TextReader&) { return EOF; }
std::size_t readTextBlock(TextReader&, char*, std::size_t) { return 0; }
bool readTextLine(TextReader&, char*, std::size_t) { return false; }
std::FILE* openTextWriter(const char*) { return nullptr; }
bool writeTextByte(std::FILE*, unsigned char) { return false; }
std::size_t writeTextBytes(std::FILE*, const char*, std::size_t) { return 0; }
