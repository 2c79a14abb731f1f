// Tapes as the controller punches and reads them, and program text as the
// senders read it and the receivers store it.
#pragma once

#include <string>

#include "console_text.h"
#include "tape/tape_code.h"

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
