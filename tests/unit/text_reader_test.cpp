#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "common/temp_dir.h"
#include "platform/text_file.h"

using namespace zek::platform;

const std::string filler(textBlockSize - 1, 'N');  // the byte after it is the first block's last

// What a file holds, and the text read from it.
const std::pair<std::string, std::string> textCases[] = {
    {"A\nB\r\nC\rD\r", "A\nB\nC\rD\r"}, {filler + "\r\nX", filler + "\nX"}, {filler + "\rX", filler + "\rX"},
    {filler + "\r", filler + "\r"},     {"A\r\nB\032C\r\n", "A\nB"},        {filler + "N\032C", filler + "N"},
};

// By lines into a buffer of 5 (as fgets: a LF only at a piece's end, and only
// the last piece short without one), by blocks of 7 and by characters; each
// after a partial read and a rewind.
TEST(TextReader, CrLfAndTheEndMarkReadAlikeWhereverTheBlocksEnd)
{
    TempDir dir;
    for (const auto& [stored, expected] : textCases) {
        dir.write("P.NC", stored);
        TextReader reader;
        ASSERT_TRUE(openTextReader(reader, dir.file("P.NC").c_str()));
        std::string byLine, byBlock, byChar;
        char piece[7];
        readTextChar(reader);  // a partial read before the rewinds
        rewindTextReader(reader);
        bool cutShort = false;
        while (readTextLine(reader, piece, 5)) {
            std::string line = piece;
            EXPECT_TRUE(!cutShort && line.size() < 5 && line.find('\n') >= line.size() - 1) << line;
            cutShort = line.size() < 4 && line.back() != '\n';
            byLine += line;
        }
        rewindTextReader(reader);
        for (std::size_t n; (n = readTextBlock(reader, piece, sizeof piece)) > 0;)
            byBlock.append(piece, n);
        rewindTextReader(reader);
        for (int c; (c = readTextChar(reader)) != EOF;)
            byChar += static_cast<char>(c);
        EXPECT_TRUE(byLine == expected && byBlock == expected && byChar == expected) << stored.size() << " bytes";
        closeTextReader(reader);
    }
}
