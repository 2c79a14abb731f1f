// The Protocol B receive conversion: bytes on the line, in the order a
// receive meets them, the tape's code taken from its "%" and then converted
// by it. Every stored byte is a character of the tape's code, and a received
// character goes out again as itself.
#include <cstdint>

#include "fuzz_check.h"
#include "tape/tape_code.h"

using namespace zek::tape;

namespace {

// The code whose "%" the byte is; IsoDefault when it starts no tape.
TapeCode startedCode(uint8_t byte)
{
    return byte == isoPercent     ? TapeCode::Iso
           : byte == eiaPercent   ? TapeCode::Eia
           : byte == asciiPercent ? TapeCode::Ascii
                                  : TapeCode::IsoDefault;
}

void checkStoredByte(TapeCode codeMode, uint8_t byte)
{
    unsigned char stored = decodeLineByte(codeMode, byte);
    if (codeMode == TapeCode::Ascii) {
        fuzzCheck(stored == byte, "ASCII is stored as it came");
        return;
    }
    fuzzCheck(stored < 0x80, "ISO and EIA store seven bits");
    if (codeMode != TapeCode::Eia)
        fuzzCheck(isoDecode(isoEncode(stored)) == stored, "an ISO character goes out as itself");
    else if (stored != ' ' && stored != '\0' && stored != '=' && stored != '\b')
        fuzzCheck(eiaDecode(eiaEncode(stored)) == stored, "an EIA character goes out as itself");
}

}  // namespace

// The first byte chooses the code given on the command line (IsoDefault:
// none, the start code decides) and whether stop codes count (-p).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    auto codeMode = static_cast<TapeCode>(data[0] & 3);
    bool noStopCode = data[0] & 4;
    std::size_t next = 1;
    for (; codeMode == TapeCode::IsoDefault && !noStopCode && next < size; ++next)
        codeMode = startedCode(data[next]);
    for (; next < size; ++next) {
        if (data[next] == 0xFF)  // reads as no byte: never stored
            continue;
        checkStoredByte(codeMode, data[next]);
        if (!noStopCode && decodeLineByte(codeMode, data[next]) == asciiPercent)
            break;
    }
    return 0;
}
