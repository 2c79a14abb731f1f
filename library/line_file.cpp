#include "library/line_file.h"

#include <cstring>

namespace zek::library {

LineFile::LineFile(const std::string& path) : file_(std::fopen(path.c_str(), "rb"))
{
}

LineFile::~LineFile()
{
    if (file_)
        std::fclose(file_);
}

bool LineFile::read(std::string& line)
{
    line.clear();
    bool any = false;
    while (position_ < length_ || refill()) {
        any = true;
        const char* start = block_ + position_;
        const void* lineFeed = std::memchr(start, '\n', length_ - position_);
        std::size_t count = lineFeed ? static_cast<const char*>(lineFeed) - start : length_ - position_;
        line.append(start, count);
        position_ += count;
        if (lineFeed) {
            ++position_;
            return true;
        }
    }
    return any;
}

void LineFile::rewind()
{
    if (file_)
        std::rewind(file_);
    position_ = length_ = 0;
}

bool LineFile::refill()
{
    position_ = 0;
    length_ = file_ ? std::fread(block_, 1, blockSize, file_) : 0;
    return length_ > 0;
}

}  // namespace zek::library
