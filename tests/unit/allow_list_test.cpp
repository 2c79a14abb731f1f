// The addresses of --allow, read as an operator writes them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "link/allow_list.h"

using zek::link::AllowList;

namespace {

// An address in network order, as the socket reports a caller's.
uint32_t address(unsigned a, unsigned b, unsigned c, unsigned d)
{
    const unsigned char octets[] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                    static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
    uint32_t value = 0;
    std::memcpy(&value, octets, sizeof value);
    return value;
}

}  // namespace

TEST(AllowList, ReadsAddressesAndNetworksAndRefusesTheFirstBadItem)
{
    const std::pair<const char*, const char*> bad[] = {
        {"1.2.3.4/33", "1.2.3.4/33"},
        {"256.1.1.1", "256.1.1.1"},
        {"1.2.3.4,,5.6.7.8", ""},
        {"1.2.3.4,", ""},
        {"", ""},
        {" 1.2.3.4", " 1.2.3.4"},
        {"1.2.3.4 ", "1.2.3.4 "},
        {"1.2.3", "1.2.3"},
        {"1.2.3.4.5", "1.2.3.4.5"},
        {"1.2.3.4/", "1.2.3.4/"},
        {"0255.1.1.1", "0255.1.1.1"},
        {"1.2.3.-4", "1.2.3.-4"},
        {"host.example", "host.example"},
    };
    for (const auto& [text, item] : bad) {
        AllowList list;
        std::string found = "unset";
        EXPECT_FALSE(list.read(text, &found)) << text;
        EXPECT_EQ(found, item) << text;
        EXPECT_TRUE(list.empty()) << text;
    }
    AllowList list;
    std::string found;
    ASSERT_TRUE(list.read("10.1.2.3,192.168.7.9/24,172.16.0.0/12", &found));
    EXPECT_TRUE(list.admits(address(10, 1, 2, 3)));
    EXPECT_FALSE(list.admits(address(10, 1, 2, 4)));
    EXPECT_TRUE(list.admits(address(192, 168, 7, 200)));
    EXPECT_FALSE(list.admits(address(192, 168, 8, 9)));
    EXPECT_TRUE(list.admits(address(172, 31, 255, 255)));
    EXPECT_FALSE(list.admits(address(172, 32, 0, 0)));
    ASSERT_FALSE(list.read("10.0.0.1,x", &found));
    EXPECT_TRUE(list.admits(address(10, 1, 2, 3))) << "a refused value leaves the list as it was";
    ASSERT_TRUE(list.read("255.255.255.255/32,0.0.0.0/0", &found));
    EXPECT_TRUE(list.admits(address(1, 2, 3, 4)));
    EXPECT_TRUE(AllowList().admits(address(1, 2, 3, 4))) << "no list takes every caller";
}
