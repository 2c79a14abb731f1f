// Helpers shared by the Protocol B system tests: tapes as the controller
// punches them, and patient looks at a running zek's console.
#pragma once

#include <chrono>
#include <initializer_list>
#include <regex>
#include <string>
#include <thread>

#include "support/zek_process.h"
#include "tape/tape_code.h"

// Console time stamps, as a regex.
inline const std::string timePattern = "[0-9]{2}:[0-9]{2}:[0-9]{2}";

inline std::string isoTape(const std::string& text)
{
    std::string tape;
    for (unsigned char c : text)
        tape += char(isoEncode(c));
    return tape;
}

inline std::string eiaTape(const std::string& text)
{
    std::string tape;
    for (unsigned char c : text)
        tape += char(eiaEncode(c));
    return tape;
}

// A program file as the senders read it: CR LF as LF, ended by a 0x1A.
inline std::string textContent(const std::string& fileBytes)
{
    std::string text;
    for (size_t i = 0; i < fileBytes.size() && fileBytes[i] != '\x1a'; ++i)
        if (!(fileBytes[i] == '\r' && i + 1 < fileBytes.size() && fileBytes[i + 1] == '\n'))
            text += fileBytes[i];
    return text;
}

// Text as a received file stores it: each LF as CR LF.
inline std::string storedText(const std::string& text)
{
    std::string stored;
    for (char c : text)
        stored += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return stored;
}

inline size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
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

// True when each pattern (a regex) matches, each after the one before.
inline bool appearInOrder(const std::string& text, std::initializer_list<std::string> patterns)
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
