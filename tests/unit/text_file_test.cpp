#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "link/file_status.h"
#include "link/text_file.h"
#include "support/scratch_dir.h"

namespace {

class TextFile : public testing::Test {
protected:
    void TearDown() override { closeTextReader(reader); }

    void open(const std::string& bytes)
    {
        dir.write("program.nc", bytes);
        ASSERT_TRUE(openTextReader(reader, dir.file("program.nc").c_str()));
    }

    std::string readAll()
    {
        std::string text;
        for (int c = readTextChar(reader); c != EOF; c = readTextChar(reader))
            text += static_cast<char>(c);
        return text;
    }

    ScratchDir dir;
    TextReader reader;
};

}  // namespace

TEST_F(TextFile, CrLfPairsArriveAsLineFeedsAndControlZEndsTheText)
{
    const std::pair<std::string, std::string> files[] = {
        {"%\r\nO100\rX1\r\r\nY2\n\r", "%\nO100\rX1\r\nY2\n\r"},   // lone CRs stay
        {"A\r\x1A\r\nB", "A\r"},
        {std::string("\x82\xA0\xFF\x00Z", 5), std::string("\x82\xA0\xFF\x00Z", 5)},
    };
    for (const auto& [bytes, text] : files) {
        open(bytes);
        EXPECT_EQ(readAll(), text);
        EXPECT_EQ(readTextChar(reader), EOF);
        closeTextReader(reader);
    }
}

TEST_F(TextFile, ControlZEndsTheTextForGoodUntilRewound)
{
    open("G1\r\n\x1AG2\r\n");
    EXPECT_EQ(readAll(), "G1\n");
    EXPECT_TRUE(reader.ended);
    EXPECT_EQ(readTextChar(reader), EOF);

    rewindTextReader(reader);
    EXPECT_FALSE(reader.ended);
    EXPECT_EQ(readAll(), "G1\n");
}

TEST_F(TextFile, LinesAsFgetsReadsThemAndRewindStartsOver)
{
    open("%\r\nO1(A)\r\nM30");
    char line[16];
    ASSERT_TRUE(readTextLine(reader, line, sizeof line));
    rewindTextReader(reader);
    ASSERT_TRUE(readTextLine(reader, line, sizeof line));
    EXPECT_STREQ(line, "%\n");
    ASSERT_TRUE(readTextLine(reader, line, sizeof line));
    EXPECT_STREQ(line, "O1(A)\n");
    ASSERT_TRUE(readTextLine(reader, line, sizeof line));
    EXPECT_STREQ(line, "M30");
    EXPECT_FALSE(readTextLine(reader, line, sizeof line));
}

TEST_F(TextFile, OverlongLineIsSplitAtTheBufferSizeAndNothingIsLost)
{
    open(std::string(2000, 'X') + "\r\nN2\r\n");
    char line[1024];
    ASSERT_TRUE(readTextLine(reader, line, sizeof line));
    EXPECT_EQ(std::string(line), std::string(1023, 'X'));
    ASSERT_TRUE(readTextLine(reader, line, sizeof line));
    EXPECT_EQ(std::string(line), std::string(977, 'X') + "\n");
    ASSERT_TRUE(readTextLine(reader, line, sizeof line));
    EXPECT_STREQ(line, "N2\n");
    EXPECT_FALSE(readTextLine(reader, line, sizeof line));
}

TEST_F(TextFile, LineBufferOfOneByteReadsNothingRatherThanLooping)
{
    open("G1\n");
    char line[1] = {'x'};
    EXPECT_FALSE(readTextLine(reader, line, sizeof line));
    EXPECT_EQ(line[0], '\0');
}

TEST_F(TextFile, BlocksCountCharactersAfterConversionAndStopAtControlZ)
{
    open("AB\r\nCD\r\nEF\x1AGH");
    char block[4];
    EXPECT_EQ(readTextBlock(reader, block, sizeof block), 4u);
    EXPECT_EQ(std::string(block, 4), "AB\nC");
    EXPECT_EQ(readTextBlock(reader, block, sizeof block), 4u);
    EXPECT_EQ(std::string(block, 4), "D\nEF");
    EXPECT_EQ(readTextBlock(reader, block, sizeof block), 0u);
}

TEST_F(TextFile, MissingFileCannotBeOpenedAndReadsNothing)
{
    EXPECT_FALSE(openTextReader(reader, dir.file("absent.nc").c_str()));
    EXPECT_EQ(readTextChar(reader), EOF);
    char line[8];
    EXPECT_FALSE(readTextLine(reader, line, sizeof line));
}

TEST_F(TextFile, WritingEmptiesTheFileStoresEachLineFeedAsCrLfAndReadsBackUnchanged)
{
    dir.write("recv.nc", "old content\r\n");
    std::FILE* file = openTextWriter(dir.file("recv.nc").c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(writeTextBytes(file, "%\nO1\r\n", 6), 6u);
    EXPECT_TRUE(writeTextByte(file, '\n'));
    EXPECT_TRUE(writeTextByte(file, 0xA5));
    std::fclose(file);
    EXPECT_EQ(dir.read("recv.nc"), "%\r\nO1\r\r\n\r\n\xA5");

    open(dir.read("recv.nc"));
    EXPECT_EQ(readAll(), "%\nO1\r\n\n\xA5");
    EXPECT_EQ(openTextWriter(dir.file("no-such-dir/recv.nc").c_str()), nullptr);
}

TEST(FileSize, StoredBytesAndZeroForAMissingFile)
{
    ScratchDir dir;
    dir.write("a.nc", "%\r\nO1\r\n%\r\n");
    int32_t size = -1;
    EXPECT_EQ(fileSize(dir.file("a.nc").c_str(), &size), 0);
    EXPECT_EQ(size, 10);
    EXPECT_EQ(fileSize(dir.file("missing.nc").c_str(), &size), 0);
    EXPECT_EQ(size, 0);
}
