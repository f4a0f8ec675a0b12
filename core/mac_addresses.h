// The hardware (link-layer) addresses of the machine's network interfaces, sent to the server
// as a machine identifier after login.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ifaddrs;

// Two lower-case hexadecimal digits per byte joined by ":" (00:1a:2b:3c:4d:5e); no bytes give "".
std::string formatHardwareAddress(const uint8_t* bytes, size_t length);

// Empties both lists, then appends, in list order, the address text and the interface name of
// every link-layer (AF_PACKET) entry; entry i of both lists describes the same interface.
void collectMacAddresses(const ifaddrs* list, std::vector<std::string>& addresses, std::vector<std::string>& names);

// The same over the system's interface list; both lists stay empty when it cannot be had.
void getMacAddresses(std::vector<std::string>& addresses, std::vector<std::string>& names);
