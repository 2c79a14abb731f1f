// The callers a listening server takes (--allow): IPv4 addresses, each alone
// or as a network with its prefix length ("192.168.0.0/24").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zek::link {

class AllowList {
public:
    // Reads "a.b.c.d[/n],...": dotted addresses of four numbers 0..255 and
    // prefix lengths 0..32, no blanks, no empty items. false, with the list
    // unchanged and *bad the first item it could not read, otherwise.
    bool read(const std::string& text, std::string* bad);

    bool empty() const { return networks_.empty(); }
    // An empty list takes every caller.
    bool admits(uint32_t networkOrderAddress) const;

private:
    struct Network {
        uint32_t address;  // host order, the host bits cleared
        uint32_t mask;
    };

    std::vector<Network> networks_;
};

}  // namespace zek::link
