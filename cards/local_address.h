#pragma once
// Finding this computer's IPv4 address on the default route, for the card links.
#include <cstdint>
#include <string>
#include <vector>

struct LocalAddressResult {
  std::int32_t status = 0;  // one of the outcome codes below
  std::string address;      // dotted-decimal; empty unless status is LOCAL_ADDRESS_FOUND
};

constexpr std::int32_t LOCAL_ADDRESS_FOUND = 0;
constexpr std::int32_t NETWORK_START_FAILED = 1;  // Linux needs no start-up: never given here
constexpr std::int32_t ADDRESS_LIST_FAILED = 2;
constexpr std::int32_t NO_DEFAULT_ROUTE = 3;
constexpr std::int32_t NO_ADDRESS_BUT_LOOPBACK = 4;

// One IPv4 route, in the table's own order.
struct RouteRow {
  std::uint32_t destination;    // network byte order; 0 is the default route
  unsigned interface_index;     // 0 when the interface is unknown
};

// One IPv4 address of an interface, in the system's order.
struct InterfaceAddress {
  unsigned interface_index;
  std::uint32_t address;        // network byte order
};

// Where the tables come from: the system's by default; tests give their own. Each
// answers false when its table cannot be read.
extern bool (*read_ipv4_routes)(std::vector<RouteRow>& rows);
extern bool (*read_ipv4_addresses)(std::vector<InterfaceAddress>& addresses);

// The first default route's interface decides; its first IPv4 address other than
// 127.0.0.1 is the answer.
LocalAddressResult find_local_ipv4_address();
