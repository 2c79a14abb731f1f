// The telnet COM-PORT-OPTION client: whatever a device server sends, and
// wherever the receives cut it, the data, the replies and the warnings are
// those of the bytes taken whole; the replies are option answers only; and
// zek's own data comes back as itself after escaping.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "link/telnet_com_port.h"

using namespace zek::link;

namespace {

constexpr std::size_t headerSize = 3;  // the request's flags, then where the receive is cut
constexpr unsigned char iac = 0xFF;
constexpr unsigned char will = 0xFB;  // the first of the four option verbs
constexpr unsigned char dont = 0xFE;  // the last

struct Outcome {
    std::string data;
    std::string replies;
    std::vector<std::string> warnings;
    bool answered;
};

TelnetComPort opened(uint8_t flags)
{
    TelnetComPort port(ComPortRequest{flags & 1 ? 9600 : 0, (flags & 2) != 0});
    port.opening();
    if (flags & 4)
        port.openingOver();
    return port;
}

Outcome taken(uint8_t flags, const uint8_t* bytes, std::size_t size, std::size_t cut)
{
    TelnetComPort port = opened(flags);
    Outcome outcome;
    port.take(bytes, cut, outcome.data, outcome.replies);
    port.take(bytes + cut, size - cut, outcome.data, outcome.replies);
    outcome.warnings = port.takeWarnings();
    outcome.answered = port.settingsAnswered();
    return outcome;
}

bool onlyOptionAnswers(const std::string& replies)
{
    if (replies.size() % 3 != 0)
        return false;
    for (std::size_t at = 0; at < replies.size(); at += 3) {
        auto verb = static_cast<unsigned char>(replies[at + 1]);
        if (static_cast<unsigned char>(replies[at]) != iac || verb < will || verb > dont)
            return false;
    }
    return true;
}

void checkRoundTrip(const uint8_t* bytes, std::size_t size)
{
    std::string escaped;
    TelnetComPort::escape(bytes, size, escaped);
    TelnetComPort port = opened(4);
    std::string data;
    std::string replies;
    port.take(reinterpret_cast<const unsigned char*>(escaped.data()), escaped.size(), data, replies);
    fuzzCheck(data == std::string(reinterpret_cast<const char*>(bytes), size), "escaped data comes back as itself");
    fuzzCheck(replies.empty(), "data is owed no answer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < headerSize)
        return 0;
    uint8_t flags = data[0];
    const uint8_t* bytes = data + headerSize;
    std::size_t length = size - headerSize;
    std::size_t cut = (data[1] << 8 | data[2]) % (length + 1);
    Outcome whole = taken(flags, bytes, length, length);
    Outcome split = taken(flags, bytes, length, cut);
    fuzzCheck(split.data == whole.data, "a cut receive gives the same data");
    fuzzCheck(split.replies == whole.replies, "a cut receive gives the same replies");
    fuzzCheck(split.warnings == whole.warnings && split.answered == whole.answered, "a cut receive answers the same");
    fuzzCheck(whole.data.size() <= length, "no data is made up");
    fuzzCheck(onlyOptionAnswers(whole.replies), "the replies are option answers");
    checkRoundTrip(bytes, length);
    return 0;
}
