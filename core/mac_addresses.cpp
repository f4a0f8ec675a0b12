#include "core/mac_addresses.h"

#include <ifaddrs.h>
#include <netpacket/packet.h>
#include <sys/socket.h>

#include <algorithm>

namespace {

// glibc keeps at most 24 address bytes per link-layer entry (room for Infiniband's 20); a larger
// length field would make us read past them.
constexpr size_t kMaxHardwareAddressBytes = 24;

}  // namespace

std::string formatHardwareAddress(const uint8_t* bytes, size_t length) {
    static const char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i > 0) text += ':';
        text += hex[bytes[i] >> 4];
        text += hex[bytes[i] & 0xF];
    }
    return text;
}

void collectMacAddresses(const ifaddrs* list, std::vector<std::string>& addresses, std::vector<std::string>& names) {
    addresses.clear();
    names.clear();
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET) continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        const size_t length = std::min<size_t>(link->sll_halen, kMaxHardwareAddressBytes);
        names.emplace_back(entry->ifa_name ? entry->ifa_name : "");
        addresses.push_back(formatHardwareAddress(link->sll_addr, length));
    }
}

void getMacAddresses(std::vector<std::string>& addresses, std::vector<std::string>& names) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        addresses.clear();
        names.clear();
        return;
    }
    collectMacAddresses(list, addresses, names);
    freeifaddrs(list);
}
