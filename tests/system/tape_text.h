// Tapes as the controller punches and reads them, program text as the
// senders read it and the receivers store it, and made-up programs of any
// length for the long runs.
#pragma once

#include <cstdlib>
#include <random>
#include <string>

#include "console_text.h"
#include "tape/tape_code.h"

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

// ZEK_STRESS_SCALE=N makes the long runs N times longer.
inline int stressScale()
{
    const char* scale = std::getenv("ZEK_STRESS_SCALE");
    int value = scale ? std::atoi(scale) : 1;
    return value > 0 ? value : 1;
}
