#include "cards/local_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
// /proc/net/route: a header line, then one route a line; the interface name is the first
// column and the destination the second, as the hex of its network-order bytes in memory.
bool read_proc_routes(std::vector<RouteRow>& rows) {
  std::ifstream table("/proc/net/route");
  if (!table) return false;
  std::string line;
  if (!std::getline(table, line)) return false;
  while (std::getline(table, line)) {
    std::istringstream columns(line);
    std::string name, destination;
    if (!(columns >> name >> destination)) continue;
    char* end = nullptr;
    const unsigned long value = std::strtoul(destination.c_str(), &end, 16);
    if (*end != '\0') continue;
    rows.push_back({static_cast<std::uint32_t>(value), if_nametoindex(name.c_str())});
  }
  return true;
}

bool read_system_addresses(std::vector<InterfaceAddress>& addresses) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    addresses.push_back({if_nametoindex(entry->ifa_name), ipv4->sin_addr.s_addr});
  }
  freeifaddrs(list);
  return true;
}
}  // namespace

bool (*read_ipv4_routes)(std::vector<RouteRow>& rows) = read_proc_routes;
bool (*read_ipv4_addresses)(std::vector<InterfaceAddress>& addresses) = read_system_addresses;

LocalAddressResult find_local_ipv4_address() {
  std::vector<RouteRow> routes;
  if (!read_ipv4_routes(routes)) return {NO_DEFAULT_ROUTE, {}};
  const RouteRow* default_route = nullptr;
  for (const RouteRow& row : routes) {
    if (row.destination == 0) {
      default_route = &row;
      break;
    }
  }
  if (!default_route || default_route->interface_index == 0) return {NO_DEFAULT_ROUTE, {}};

  std::vector<InterfaceAddress> addresses;
  if (!read_ipv4_addresses(addresses)) return {ADDRESS_LIST_FAILED, {}};
  for (const InterfaceAddress& entry : addresses) {
    if (entry.interface_index != default_route->interface_index) continue;
    in_addr address{};
    address.s_addr = entry.address;
    char text[22];
    if (inet_ntop(AF_INET, &address, text, sizeof text) && std::string(text) != "127.0.0.1")
      return {LOCAL_ADDRESS_FOUND, text};
  }
  return {NO_ADDRESS_BUT_LOOPBACK, {}};
}
