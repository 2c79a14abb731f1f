// What a run printed, looked at the way an operator reads it: time stamps,
// lines in order, counts, and patient waits on a zek that is still running.
#pragma once

#include <chrono>
#include <iconv.h>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/zek_process.h"

// Console time stamps, as a regex.
inline const std::string timePattern = "[0-9]{2}:[0-9]{2}:[0-9]{2}";

inline size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

inline bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

inline bool matches(const std::string& text, const std::string& pattern)
{
    return std::regex_search(text, std::regex(pattern));
}

// True when each pattern (a regex) matches, each after the one before.
inline bool appearInOrder(const std::string& text, const std::vector<std::string>& patterns)
{
    auto from = text.cbegin();
    for (const std::string& pattern : patterns) {
        std::smatch found;
        if (!std::regex_search(from, text.cend(), found, std::regex(pattern)))
            return false;
        from = found[0].second;
    }
    return true;
}

// UTF-8 text as the Shift-JIS bytes of code page 932; "" when it cannot be converted.
inline std::string toCodePage932(const std::string& utf8)
{
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return "";
    std::string in = utf8;
    std::string out(in.size() * 2, '\0');
    char* inNext = &in[0];
    size_t inLeft = in.size();
    char* outNext = &out[0];
    size_t outLeft = out.size();
    size_t result = iconv(converter, &inNext, &inLeft, &outNext, &outLeft);
    iconv_close(converter);
    if (result == size_t(-1))
        return "";
    out.resize(out.size() - outLeft);
    return out;
}

// Waits until standard error holds the text at least count times.
inline bool waitForErrCount(ZekProcess& zek, const std::string& text, size_t count,
                            int timeoutMs = 15000)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        zek.waitForErr(text, 100);
        if (countOf(zek.result().err, text) >= count)
            return true;
        if (!zek.running())
            break;
    }
    return countOf(zek.result().err, text) >= count;
}

// Waits until a file in dir holds the expected bytes (it may grow slowly).
inline bool waitForFile(const TempDir& dir, const std::string& name, const std::string& bytes,
                        int timeoutMs = 10000)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (dir.read(name) != bytes) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}
