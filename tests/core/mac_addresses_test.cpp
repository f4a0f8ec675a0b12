#include "core/mac_addresses.h"

#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <netpacket/packet.h>

#include <cstddef>
#include <cstring>

namespace {

// A link-layer address with room behind sll_addr, as the system's list provides for long addresses.
struct LinkStorage {
    sockaddr_ll ll;
    uint8_t more[32];
};

struct FakeList {
    std::vector<ifaddrs> entries;
    std::vector<LinkStorage> links;
    sockaddr_in inet {};

    explicit FakeList(size_t capacity) : entries(capacity), links(capacity) {
        inet.sin_family = AF_INET;
    }
    void set(size_t i, const char* name, const sockaddr* address) {
        entries[i] = ifaddrs{};
        entries[i].ifa_name = const_cast<char*>(name);
        entries[i].ifa_addr = const_cast<sockaddr*>(address);
        if (i > 0) entries[i - 1].ifa_next = &entries[i];
    }
    const sockaddr* link(size_t i, std::vector<uint8_t> bytes, uint8_t statedLength) {
        LinkStorage& s = links[i];
        std::memset(&s, 0, sizeof s);
        s.ll.sll_family = AF_PACKET;
        s.ll.sll_halen = statedLength;
        if (!bytes.empty())
            std::memcpy(reinterpret_cast<uint8_t*>(&s) + offsetof(sockaddr_ll, sll_addr), bytes.data(), bytes.size());
        return reinterpret_cast<const sockaddr*>(&s);
    }
};

// Pairs of lower-case hexadecimal digits joined by ":", or nothing.
bool looksLikeAddress(const std::string& text) {
    if (text.empty()) return true;
    if (text.size() % 3 != 2) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool ok = i % 3 == 2 ? c == ':' : ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
        if (!ok) return false;
    }
    return true;
}

}  // namespace

TEST(MacAddresses, FormatsBytesAsLowerCaseHexPairs) {
    const uint8_t six[] = {0, 26, 43, 60, 77, 94};
    EXPECT_EQ(formatHardwareAddress(six, 6), "00:1a:2b:3c:4d:5e");
    const uint8_t one[] = {0xFF};
    EXPECT_EQ(formatHardwareAddress(one, 1), "ff");
    EXPECT_EQ(formatHardwareAddress(nullptr, 0), "");
}

TEST(MacAddresses, CollectsOnlyLinkLayerEntriesInOrder) {
    FakeList list(6);
    list.set(0, "eth0", reinterpret_cast<const sockaddr*>(&list.inet));  // IPv4 of the same interface
    list.set(1, "eth0", list.link(1, {0xAA, 0xBB, 0xCC, 0x01, 0x02, 0x03}, 6));
    list.set(2, "tun0", nullptr);                                            // no address at all
    list.set(3, "lo", list.link(3, {}, 0));                                  // empty address, still listed
    std::vector<uint8_t> twenty(20);
    for (size_t i = 0; i < twenty.size(); ++i) twenty[i] = uint8_t(i);
    list.set(4, "ib0", list.link(4, twenty, 20));  // longer than sockaddr_ll's own 8 bytes
    std::vector<uint8_t> maxBytes(32, 0x11);
    list.set(5, "odd0", list.link(5, maxBytes, 255));  // a length beyond what the list can hold

    std::vector<std::string> addresses = {"stale"}, names = {"stale", "more"};
    collectMacAddresses(list.entries.data(), addresses, names);
    ASSERT_EQ(names, (std::vector<std::string>{"eth0", "lo", "ib0", "odd0"}));
    ASSERT_EQ(addresses.size(), 4u);
    EXPECT_EQ(addresses[0], "aa:bb:cc:01:02:03");
    EXPECT_EQ(addresses[1], "");
    EXPECT_EQ(addresses[2], "00:01:02:03:04:05:06:07:08:09:0a:0b:0c:0d:0e:0f:10:11:12:13");
    EXPECT_EQ(addresses[3].size(), 24u * 3 - 1);

    collectMacAddresses(nullptr, addresses, names);
    EXPECT_TRUE(addresses.empty());
    EXPECT_TRUE(names.empty());
}

TEST(MacAddresses, RealInterfacesGiveParallelLists) {
    std::vector<std::string> addresses = {"stale"}, names;
    getMacAddresses(addresses, names);
    EXPECT_EQ(addresses.size(), names.size());
    for (size_t i = 0; i < addresses.size(); ++i) {
        EXPECT_TRUE(looksLikeAddress(addresses[i])) << addresses[i];
        EXPECT_FALSE(names[i].empty());
    }
    const size_t count = addresses.size();
    getMacAddresses(addresses, names);  // a second call replaces, never appends
    EXPECT_EQ(addresses.size(), count);
}
