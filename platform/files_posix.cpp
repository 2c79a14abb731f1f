#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace zek::platform {

namespace {

// Narrowed by the umask, as for any file the program makes.
constexpr mode_t newFileMode = 0666;
constexpr mode_t newDirectoryMode = 0777;

// A name made, changed or removed is on the disk only once its directory is.
void flushDirectoryOf(const char* path)
{
    std::string name(path);
    std::size_t slash = name.rfind('/');
    flushFile(slash == std::string::npos ? "." : name.substr(0, slash + 1).c_str());
}

bool isDirectory(const char* path)
{
    struct stat status {};
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

bool writeAll(int file, const char* bytes, ssize_t length)
{
    while (length > 0) {
        ssize_t written = write(file, bytes, static_cast<std::size_t>(length));
        if (written <= 0)
            return false;
        bytes += written;
        length -= written;
    }
    return true;
}

bool copyBytes(int from, int to)
{
    char buffer[65536];
    for (;;) {
        ssize_t got = read(from, buffer, sizeof buffer);
        if (got <= 0)
            return got == 0;
        if (!writeAll(to, buffer, got))
            return false;
    }
}

}  // namespace

bool flushFile(const char* path)
{
    int file = open(path, O_RDONLY);
    if (file < 0)
        return false;
    bool flushed = fsync(file) == 0;
    close(file);
    return flushed;
}

// true once the rename is made: the directory flush after it can only make
// it durable sooner.
bool replaceFile(const char* from, const char* to)
{
    if (rename(from, to) != 0)
        return false;
    flushDirectoryOf(to);
    return true;
}

bool linkFile(const char* existing, const char* newName)
{
    if (link(existing, newName) != 0)
        return false;
    flushDirectoryOf(newName);
    return true;
}

bool copyFile(const char* from, const char* newName)
{
    int source = open(from, O_RDONLY);
    if (source < 0)
        return false;
    int target = open(newName, O_WRONLY | O_CREAT | O_EXCL, newFileMode);
    if (target < 0) {
        close(source);
        return false;
    }
    bool copied = copyBytes(source, target) && fsync(target) == 0;
    close(source);
    if (close(target) != 0 || !copied) {
        unlink(newName);
        return false;
    }
    flushDirectoryOf(newName);
    return true;
}

bool makeNewFile(const char* path)
{
    int file = open(path, O_WRONLY | O_CREAT | O_EXCL, newFileMode);
    if (file < 0)
        return false;
    close(file);
    flushDirectoryOf(path);
    return true;
}

bool makeDirectory(const char* path)
{
    if (mkdir(path, newDirectoryMode) != 0)
        return errno == EEXIST && isDirectory(path);
    flushDirectoryOf(path);
    return true;
}

bool nameExists(const char* path)
{
    struct stat status {};
    return lstat(path, &status) == 0;
}

}  // namespace zek::platform
