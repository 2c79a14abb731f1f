// What every system test needs: the controller's end of the line, the zek
// run, and the console, log and tape text looked at the way an operator and a
// controller read them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <iconv.h>
#include <iostream>
#include <memory>
#include <poll.h>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/controller.h"
#include "support/records_peer.h"
#include "support/zek_process.h"
#include "tape/tape_code.h"

inline void sleepMs(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

inline const std::string timePattern = "[0-9]{2}:[0-9]{2}:[0-9]{2}";

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

// Waits until a file in dir holds the expected bytes (it may grow slowly).
inline bool waitForFile(const TempDir& dir, const std::string& name, const std::string& bytes, int timeoutMs = 10000)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (dir.read(name) != bytes) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

inline std::string isoTape(const std::string& text)
{
    std::string tape;
    for (unsigned char c : text)
        tape += char(zek::tape::isoEncode(c));
    return tape;
}

inline std::string eiaTape(const std::string& text)
{
    std::string tape;
    for (unsigned char c : text)
        tape += char(zek::tape::eiaEncode(c));
    return tape;
}

// ISO bytes as text: the parity bit taken off.
inline std::string withoutParity(const std::string& bytes)
{
    std::string text;
    for (unsigned char c : bytes)
        text += char(c & 0x7F);
    return text;
}

// A program file as the senders read it: CR LF as LF, ended by a 0x1A.
inline std::string textContent(const std::string& fileBytes)
{
    return crLfAsLf(fileBytes.substr(0, fileBytes.find('\x1a')));
}

// Text as a received file stores it: each LF as CR LF.
inline std::string storedText(const std::string& text)
{
    std::string stored;
    for (char c : text)
        stored += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return stored;
}

// NC lines with random coordinates between "%" lines, about `bytes` long.
inline std::string generatedProgram(size_t bytes, std::mt19937& random)
{
    std::uniform_int_distribution<int> coordinate(-99999, 99999);
    std::string text = "%\nO4711\n";
    for (long n = 1; text.size() < bytes; ++n)
        text += "N" + std::to_string(n) + " G01 X" + std::to_string(coordinate(random)) + " Y" +
                std::to_string(coordinate(random)) + "\n";
    return text + "M30\n%\n";
}

// The text reader's switch for the tests, for the zek runs started while it
// lives: every read of the file NAME fails after its first COUNT bytes, as a
// failing disk would make it.
class FailingRead {
public:
    explicit FailingRead(const std::string& nameAndCount) { setenv("ZEK_FAIL_READ", nameAndCount.c_str(), 1); }
    ~FailingRead() { unsetenv("ZEK_FAIL_READ"); }
};

// systemctl stop: SIGTERM. A Windows console program under Wine takes only
// Ctrl-C, which Wine makes of SIGINT; SIGTERM would end it at once.
inline int serviceStopSignal()
{
    return runningWindowsBuild() ? SIGINT : SIGTERM;
}

// The line zek writes when a signal stops it.
inline std::string stoppedLine(int signal)
{
    const char* name = runningWindowsBuild() ? "CTRL-C" : signal == SIGINT ? "SIGINT" : "SIGTERM";
    return std::string("*** STOPPED BY ") + name + " ***";
}

// ZEK_STRESS_SCALE=N makes the long runs N times longer.
inline int stressScale()
{
    const char* scale = std::getenv("ZEK_STRESS_SCALE");
    int value = scale ? std::atoi(scale) : 1;
    return value > 0 ? value : 1;
}
