#include "link/allow_list.h"

#include <cstring>

namespace zek::link {

namespace {

constexpr int addressBytes = 4;
constexpr int addressBits = 32;
constexpr unsigned long highestByte = 255;
constexpr int maxDigits = 3;  // neither "0255" nor an overflowing run of digits

// A decimal number of 1 to 3 digits at *text, no greater than highest; moves
// *text past it.
bool readNumber(const char** text, unsigned long highest, unsigned long* number)
{
    const char* start = *text;
    *number = 0;
    while (**text >= '0' && **text <= '9' && *text - start < maxDigits)
        *number = *number * 10 + unsigned(*(*text)++ - '0');
    return *text != start && *number <= highest && !(**text >= '0' && **text <= '9');
}

bool readAddress(const char** text, uint32_t* address)
{
    *address = 0;
    for (int index = 0; index < addressBytes; ++index) {
        unsigned long byte = 0;
        if ((index > 0 && *(*text)++ != '.') || !readNumber(text, highestByte, &byte))
            return false;
        *address = *address << 8 | uint32_t(byte);
    }
    return true;
}

uint32_t prefixMask(unsigned long prefixLength)
{
    return prefixLength == 0 ? 0 : ~uint32_t(0) << (addressBits - prefixLength);
}

// One item: an address, or an address, a slash and a prefix length.
bool readNetwork(const std::string& item, uint32_t* address, uint32_t* mask)
{
    const char* next = item.c_str();
    unsigned long prefixLength = addressBits;
    if (!readAddress(&next, address))
        return false;
    if (*next == '/') {
        ++next;
        if (!readNumber(&next, addressBits, &prefixLength))
            return false;
    }
    *mask = prefixMask(prefixLength);
    *address &= *mask;
    return *next == '\0';
}

}  // namespace

bool AllowList::read(const std::string& text, std::string* bad)
{
    std::vector<Network> networks;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        Network network{};
        if (!readNetwork(item, &network.address, &network.mask)) {
            *bad = item;
            return false;
        }
        networks.push_back(network);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    networks_ = networks;
    return true;
}

bool AllowList::admits(uint32_t networkOrderAddress) const
{
    unsigned char octets[addressBytes];
    std::memcpy(octets, &networkOrderAddress, addressBytes);
    uint32_t address = 0;
    for (unsigned char octet : octets)
        address = address << 8 | octet;
    if (networks_.empty())
        return true;
    for (const Network& network : networks_)
        if ((address & network.mask) == network.address)
            return true;
    return false;
}

}  // namespace zek::link
