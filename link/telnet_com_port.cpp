#include "link/telnet_com_port.h"

#include <algorithm>

namespace zek::link {

namespace {

// Telnet commands (RFC 854) and the options zek deals in.
constexpr unsigned char iac = 255;
constexpr unsigned char dont = 254;
constexpr unsigned char doOption = 253;
constexpr unsigned char wont = 252;
constexpr unsigned char will = 251;
constexpr unsigned char subBegin = 250;
constexpr unsigned char subEnd = 240;
constexpr unsigned char binary = 0;
constexpr unsigned char suppressGoAhead = 3;
constexpr unsigned char comPortOption = 44;

// COM-PORT-OPTION commands (RFC 2217): the box answers a SET with its code
// plus answerOffset and the value it holds.
constexpr unsigned char setBaudRate = 1;
constexpr unsigned char setDataSize = 2;
constexpr unsigned char setParity = 3;
constexpr unsigned char setStopSize = 4;
constexpr unsigned char setControl = 5;
constexpr unsigned char answerOffset = 100;
constexpr unsigned char eightDataBits = 8;
constexpr unsigned char noParity = 1;
constexpr unsigned char oneStopBit = 1;
constexpr unsigned char noFlowControl = 1;
constexpr unsigned char hardwareFlowControl = 3;

// A sub-negotiation that has not ended by then is dropped and what follows
// is data again: a box that never ends one cannot swallow the data for ever.
// The longest zek reads has six bytes.
constexpr std::size_t maxSubLength = 256;

constexpr int bitsPerByte = 8;
constexpr int speedBytes = 4;

// zek does COM-PORT-OPTION and BINARY itself and lets the box do BINARY; SGA
// is agreed to both ways when the box asks, everything else refused.
bool wantedOurs(unsigned char option)
{
    return option == comPortOption || option == binary || option == suppressGoAhead;
}

bool wantedFromBox(unsigned char option)
{
    return option == binary || option == suppressGoAhead;
}

bool isVerb(unsigned char byte)
{
    return byte >= will && byte <= dont;
}

// The speed in network byte order.
std::string speedValue(long speed)
{
    std::string value;
    for (int shift = (speedBytes - 1) * bitsPerByte; shift >= 0; shift -= bitsPerByte)
        value += char(static_cast<unsigned long>(speed) >> shift & 0xFF);
    return value;
}

unsigned long numberOf(const std::string& value)
{
    unsigned long number = 0;
    for (unsigned char byte : value)
        number = number << bitsPerByte | byte;
    return number;
}

}  // namespace

TelnetComPort::TelnetComPort(const ComPortRequest& request) : request_(request)
{
}

std::string TelnetComPort::opening()
{
    std::string out;
    request(will, comPortOption, out);
    request(doOption, binary, out);
    request(will, binary, out);
    askSettings(out);
    return out;
}

// In the order RFC 2217 recommends: speed, data size, parity, stop size.
void TelnetComPort::askSettings(std::string& out)
{
    if (request_.speed != 0)
        settings_.push_back({setBaudRate, "SPEED", speedValue(request_.speed), false});
    settings_.push_back({setDataSize, "DATA SIZE", std::string(1, char(eightDataBits)), false});
    settings_.push_back({setParity, "PARITY", std::string(1, char(noParity)), false});
    settings_.push_back({setStopSize, "STOP SIZE", std::string(1, char(oneStopBit)), false});
    unsigned char flow = request_.hardwareFlow ? hardwareFlowControl : noFlowControl;
    settings_.push_back({setControl, "FLOW CONTROL", std::string(1, char(flow)), false});
    for (const Setting& setting : settings_) {
        out += {char(iac), char(subBegin), char(comPortOption), char(setting.command)};
        escape(reinterpret_cast<const unsigned char*>(setting.value.data()), setting.value.size(), out);
        out += {char(iac), char(subEnd)};
    }
}

// Asks for an option that is not already agreed (the box may have offered it first).
void TelnetComPort::request(unsigned char verb, unsigned char option, std::string& out)
{
    OptionState& state = verb == will ? ours_[option] : boxes_[option];
    if (state != OptionState::No)
        return;
    state = OptionState::WantYes;
    out += {char(iac), char(verb), char(option)};
}

void TelnetComPort::take(const unsigned char* bytes, std::size_t count, std::string& data, std::string& replies)
{
    for (std::size_t i = 0; i < count; ++i)
        takeByte(bytes[i], data, replies);
}

void TelnetComPort::escape(const unsigned char* bytes, std::size_t count, std::string& out)
{
    for (std::size_t i = 0; i < count; ++i) {
        out += char(bytes[i]);
        if (bytes[i] == iac)
            out += char(iac);
    }
}

bool TelnetComPort::settingsAnswered() const
{
    bool refused = !settings_.empty() && ours_[comPortOption] == OptionState::No;
    return refused || std::all_of(settings_.begin(), settings_.end(), [](const Setting& s) { return s.answered; });
}

std::vector<std::string> TelnetComPort::takeWarnings()
{
    std::vector<std::string> taken;
    taken.swap(warnings_);
    return taken;
}

void TelnetComPort::takeByte(unsigned char byte, std::string& data, std::string& replies)
{
    switch (parse_) {
    case Parse::Data:
        if (byte == iac)
            parse_ = Parse::Command;
        else
            dataByte(byte, data);
        return;
    case Parse::Command:
        command(byte, data);
        return;
    case Parse::Option:
        parse_ = Parse::Data;
        negotiate(verb_, byte, replies);
        return;
    case Parse::Sub:
        if (byte == iac)
            parse_ = Parse::SubCommand;
        else
            subByte(byte);
        return;
    case Parse::SubCommand:
        subCommand(byte, data);
        return;
    }
}

// The byte after an IAC. Commands other than options and sub-negotiations
// (NOP, GA, a stray SE, ...) mean nothing to a data link and are dropped.
void TelnetComPort::command(unsigned char byte, std::string& data)
{
    parse_ = Parse::Data;
    if (byte == iac) {
        dataByte(byte, data);
        return;
    }
    bannerOver_ = true;
    verb_ = byte;
    if (isVerb(byte)) {
        parse_ = Parse::Option;
    } else if (byte == subBegin) {
        parse_ = Parse::Sub;
        sub_.clear();
    }
}

void TelnetComPort::dataByte(unsigned char byte, std::string& data)
{
    if (bannerOver_)
        data += char(byte);
}

void TelnetComPort::subByte(unsigned char byte)
{
    parse_ = Parse::Sub;
    sub_ += char(byte);
    if (sub_.size() == maxSubLength)
        parse_ = Parse::Data;
}

// IAC SE ends a sub-negotiation; another command cuts it short, and the
// command counts as itself.
void TelnetComPort::subCommand(unsigned char byte, std::string& data)
{
    if (byte == iac) {
        subByte(byte);
    } else if (byte == subEnd) {
        parse_ = Parse::Data;
        subnegotiation();
    } else {
        command(byte, data);
    }
}

// RFC 1143: only a request that changes a state is answered; an
// acknowledgment of zek's own request is not, and an unwanted option is
// refused once.
void TelnetComPort::negotiate(unsigned char verb, unsigned char option, std::string& replies)
{
    bool boxSide = verb == will || verb == wont;
    bool enable = verb == will || verb == doOption;
    OptionState& state = boxSide ? boxes_[option] : ours_[option];
    bool wanted = boxSide ? wantedFromBox(option) : wantedOurs(option);
    unsigned char yes = boxSide ? doOption : will;
    unsigned char no = boxSide ? dont : wont;
    OptionState before = state;
    if (enable && state == OptionState::No) {
        state = wanted ? OptionState::Yes : OptionState::Refused;
        replies += {char(iac), char(wanted ? yes : no), char(option)};
    } else if (enable && state == OptionState::WantYes) {
        state = OptionState::Yes;
    } else if (!enable && state == OptionState::Yes) {
        state = OptionState::No;
        replies += {char(iac), char(no), char(option)};
    } else if (!enable && state == OptionState::WantYes) {
        state = OptionState::No;
    }
    if (!boxSide && option == comPortOption && state == OptionState::No && before != OptionState::No)
        warnings_.push_back("RFC2217 COM-PORT-OPTION REFUSED: THE PORT KEEPS THE DEVICE SERVER'S SETTINGS");
}

// Only the first answer to each SET counts; notifications of line and modem
// state, the box's signature and other options' sub-negotiations are dropped.
void TelnetComPort::subnegotiation()
{
    if (sub_.size() < 2 || static_cast<unsigned char>(sub_[0]) != comPortOption)
        return;
    for (Setting& setting : settings_) {
        if (!setting.answered && static_cast<unsigned char>(sub_[1]) == setting.command + answerOffset) {
            setting.answered = true;
            checkAnswer(setting, sub_.substr(2));
            return;
        }
    }
}

// A value of another length than the one sent (a one-byte speed, say)
// cannot be read as the same setting: it answers, but is not compared.
void TelnetComPort::checkAnswer(const Setting& setting, const std::string& reported)
{
    if (reported.size() != setting.value.size() || reported == setting.value)
        return;
    warnings_.push_back(std::string("RFC2217 ") + setting.name + ": ASKED " + std::to_string(numberOf(setting.value)) +
                        ", DEVICE SERVER REPORTS " + std::to_string(numberOf(reported)));
}

}  // namespace zek::link
