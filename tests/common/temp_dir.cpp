#include "common/temp_dir.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

TempDir::TempDir()
{
    // Test cases run as parallel processes: a random part keeps them apart.
    static std::atomic<unsigned> serial{0};
    fs::path path = fs::temp_directory_path() /
                    ("zek-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(serial++));
    fs::create_directories(path);
    path_ = path.string();
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const
{
    return (fs::path(path_) / name).string();
}

void TempDir::write(const std::string& name, const std::string& bytes) const
{
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string TempDir::read(const std::string& name) const
{
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDir::exists(const std::string& name) const
{
    return fs::exists(file(name));
}
