// A fresh directory for one test's files, removed with its content at the
// end. Portable: the unit tests build for every platform.
#pragma once

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const;
    void write(const std::string& name, const std::string& bytes) const;
    std::string read(const std::string& name) const;  // "" when missing
    bool exists(const std::string& name) const;

private:
    std::string path_;
};
