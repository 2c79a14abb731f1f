// The client side of a telnet connection to a device server that speaks the
// COM-PORT-OPTION (RFC 2217): what zek says at connect, the box's bytes
// cleared of its telnet commands, and the answers the box is owed. Bytes in,
// bytes out: the TCP link does the sending and the waiting.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace zek::link {

// The settings zek asks of the box's serial port.
struct ComPortRequest {
    long speed = 0;             // bit/s; 0: the box keeps its speed (no SET-BAUDRATE)
    bool hardwareFlow = false;  // CTS flow at the box; else none, so that DC1/DC3 reach zek
};

class TelnetComPort {
public:
    explicit TelnetComPort(const ComPortRequest& request);

    // What zek sends once at connect: WILL COM-PORT-OPTION, DO and WILL
    // BINARY, then the SETs of the request (8 data bits, no parity, 1 stop bit).
    std::string opening();

    // Bytes as they came from the box: its data appended to `data`, the
    // answers it is owed appended to `replies`. A command split across calls
    // completes in a later one.
    void take(const unsigned char* bytes, std::size_t count, std::string& data, std::string& replies);

    // Data for the box, with every 0xFF doubled.
    static void escape(const unsigned char* bytes, std::size_t count, std::string& out);

    // Until the box's first command, its text is a banner and dropped; after
    // this call, text outside commands is data whether a command came or not.
    void openingOver() { bannerOver_ = true; }

    // Every SET sent has had its answer, or the box refused the option and
    // none will come.
    bool settingsAnswered() const;

    // The warnings since the last call, one line each without its line end.
    std::vector<std::string> takeWarnings();

private:
    // An option's state on one side (RFC 1143). Refused: no, and the box
    // has been told so once; it is not told again.
    enum class OptionState : unsigned char { No, WantYes, Yes, Refused };
    enum class Parse : unsigned char { Data, Command, Option, Sub, SubCommand };

    struct Setting {
        unsigned char command;
        const char* name;
        std::string value;  // as sent, before escaping
        bool answered;
    };

    void request(unsigned char verb, unsigned char option, std::string& out);
    void askSettings(std::string& out);
    void takeByte(unsigned char byte, std::string& data, std::string& replies);
    void command(unsigned char byte, std::string& data);
    void dataByte(unsigned char byte, std::string& data);
    void subByte(unsigned char byte);
    void subCommand(unsigned char byte, std::string& data);
    void negotiate(unsigned char verb, unsigned char option, std::string& replies);
    void subnegotiation();
    void checkAnswer(const Setting& setting, const std::string& reported);

    ComPortRequest request_;
    std::array<OptionState, 256> ours_{};   // what zek does: its WILL, the box's DO
    std::array<OptionState, 256> boxes_{};  // what the box does: its WILL, zek's DO
    std::vector<Setting> settings_;
    std::vector<std::string> warnings_;
    Parse parse_ = Parse::Data;
    unsigned char verb_ = 0;
    std::string sub_;
    bool bannerOver_ = false;
};

}  // namespace zek::link
