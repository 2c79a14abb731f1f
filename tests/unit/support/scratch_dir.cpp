#include "support/scratch_dir.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace {

std::string uniqueName()
{
    // Test cases may run as parallel processes: a random part keeps them apart.
    static std::atomic<unsigned> serial{0};
    return "zek-" + std::to_string(std::random_device{}()) + "-" + std::to_string(serial++);
}

}  // namespace

ScratchDir::ScratchDir()
{
    fs::path path = fs::temp_directory_path() / uniqueName();
    fs::create_directories(path);
    path_ = path.string();
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScratchDir::file(const std::string& name) const
{
    return (fs::path(path_) / name).string();
}

void ScratchDir::write(const std::string& name, const std::string& bytes) const
{
    std::ofstream out(file(name), std::ios::binary);
    out << bytes;
}

std::string ScratchDir::read(const std::string& name) const
{
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
