#include <cstring>

#include "sender/macro_file.h"

namespace zek::sender {

namespace {

// With a "*" in FROM the rule takes the whole word: up to the next address
// letter, blank or line feed after the word's first character.
std::size_t wholeWordLength(const char* word)
{
    if (word[0] == '\0')
        return 0;
    std::size_t length = 1;
    while (word[length] != '\0' && word[length] != ' ' && word[length] != '\n' &&
           !(word[length] >= 'A' && word[length] <= 'Z'))
        ++length;
    return length;
}

// The first place in the line that starts with the first length characters
// of the pattern; with none, the line's start.
char* findPattern(char* line, const char* pattern, std::size_t length)
{
    if (length == 0)
        return line;
    char* match = std::strchr(line, pattern[0]);
    while (match && std::strncmp(match, pattern, length) != 0)
        match = std::strchr(match + 1, pattern[0]);
    return match;
}

void replaceWord(char* word, std::size_t wordLength, const char* to)
{
    std::size_t toLength = std::strcspn(to, " ");
    char* rest = word + wordLength;
    std::memmove(word + toLength, rest, std::strlen(rest) + 1);
    std::memcpy(word, to, toLength);
}

// Lines go out with an even number of characters, the line feed counted;
// a piece of a longer line without its line feed is left as it is.
void makeLengthEven(char* line)
{
    char* lineFeed = std::strchr(line, '\n');
    if (!lineFeed)
        return;
    std::size_t length = static_cast<std::size_t>(lineFeed - line) + 1;
    if (length % 2 == 0) {
        lineFeed[1] = '\0';
        return;
    }
    lineFeed[0] = ' ';
    lineFeed[1] = '\n';
    lineFeed[2] = '\0';
}

}  // namespace

void applyMacroRule(char* line, const char* from, const char* to)
{
    if (from[0] == '\0' || !std::strchr(line, from[0]) || std::strchr(line, '('))
        return;
    std::size_t patternLength = std::strcspn(from, "*");
    bool takesWholeWord = from[patternLength] == '*';
    char* match = findPattern(line, from, patternLength);
    if (!match || *match == '\0')
        return;
    replaceWord(match, takesWholeWord ? wholeWordLength(match) : patternLength, to);
    makeLengthEven(line);
}

}  // namespace zek::sender
