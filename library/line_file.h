// A file read line by line, a block at a time: only the line being read is
// held in memory, however long the file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace zek::library {

class LineFile {
public:
    explicit LineFile(const std::string& path);  // a file that cannot be opened holds no lines
    ~LineFile();
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // The bytes up to the next line feed, without it; false at the end.
    bool read(std::string& line);
    void rewind();

private:
    bool refill();

    static constexpr std::size_t blockSize = 16384;
    std::FILE* file_;
    char block_[blockSize];
    std::size_t position_ = 0;
    std::size_t length_ = 0;
};

}  // namespace zek::library
