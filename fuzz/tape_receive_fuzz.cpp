// The Protocol B receive conversion: bytes on the line, in the order a
// receive meets them, found as a start code or converted by the tape code.
// Only the three "%" codes start a tape, every stored byte is a character of
// the tape's code, and what a received EIA or ISO character means goes out
// again as the same character.
#include <cstdint>
#include <cstring>

#include "app/run_settings.h"
#include "fuzz_check.h"
#include "protocol_b/start_code.h"
#include "tape/tape_code.h"

namespace {

// readByte's view of a line byte: a signed 8-bit value.
int asLineByte(uint8_t byte)
{
    return static_cast<signed char>(byte);
}

void checkStartCode(uint8_t byte)
{
    TapeCode code = startCodeOf(asLineByte(byte));
    switch (byte) {
    case isoPercent:
        fuzzCheck(code == Iso, "0xA5 starts an ISO tape");
        break;
    case eiaPercent:
        fuzzCheck(code == Eia, "0x0B starts an EIA tape");
        break;
    case asciiPercent:
        fuzzCheck(code == Ascii, "0x25 starts an ASCII tape");
        break;
    default:
        fuzzCheck(code == IsoDefault, "no other byte starts a tape");
    }
}

void checkStoredByte(int codeMode, uint8_t byte)
{
    unsigned char stored = decodeLineByte(codeMode, byte);
    switch (codeMode) {
    case IsoDefault:
    case Iso:
        fuzzCheck(stored < 0x80, "ISO stores seven bits");
        fuzzCheck(isoDecode(isoEncode(stored)) == stored, "an ISO character goes out as itself");
        break;
    case Eia:
        fuzzCheck(stored < 0x80, "EIA stores ASCII");
        if (stored != ' ' && stored != '\0' && stored != '=' && stored != '\b')
            fuzzCheck(eiaDecode(eiaEncode(stored)) == stored, "an EIA character goes out as itself");
        break;
    default:
        fuzzCheck(stored == byte, "ASCII is stored as it came");
    }
}

}  // namespace

// The first byte chooses the code given on the command line (IsoDefault:
// none, the start code decides) and whether stop codes count (-p).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    runSettings = RunSettings{};
    int codeMode = data[0] & 3;
    bool noStopCode = data[0] & 4;
    std::size_t next = 1;
    for (; codeMode == IsoDefault && !noStopCode && next < size; ++next) {
        checkStartCode(data[next]);
        TapeCode code = startCodeOf(asLineByte(data[next]));
        if (code != IsoDefault)
            codeMode = code;
    }
    for (; next < size; ++next) {
        checkStartCode(data[next]);
        if (data[next] == 0xFF)   // reads as no byte: never stored
            continue;
        checkStoredByte(codeMode, data[next]);
        if (!noStopCode && decodeLineByte(codeMode, data[next]) == asciiPercent)
            break;
    }
    return 0;
}
