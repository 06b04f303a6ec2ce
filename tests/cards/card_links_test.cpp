// Card links: the default-route address from fed route and address tables, the QR
// drawing, and the labels with their codes.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

#include "cards/card_links.h"
#include "cards/local_address.h"
#include "cards/qr_svg.h"
#include "tests/support/fields.h"

namespace {
std::vector<RouteRow> fed_routes;
std::vector<InterfaceAddress> fed_addresses;
bool routes_readable = true;
bool addresses_readable = true;

bool read_fed_routes(std::vector<RouteRow>& rows) {
  rows = fed_routes;
  return routes_readable;
}
bool read_fed_addresses(std::vector<InterfaceAddress>& addresses) {
  addresses = fed_addresses;
  return addresses_readable;
}

std::uint32_t ip(const char* text) {
  in_addr address{};
  inet_pton(AF_INET, text, &address);
  return address.s_addr;
}

const auto system_routes = read_ipv4_routes;
const auto system_addresses = read_ipv4_addresses;

class LocalAddress : public ::testing::Test {
 protected:
  void TearDown() override {
    read_ipv4_routes = system_routes;
    read_ipv4_addresses = system_addresses;
  }
  void SetUp() override {
    read_ipv4_routes = read_fed_routes;
    read_ipv4_addresses = read_fed_addresses;
    routes_readable = addresses_readable = true;
    // Interface 2 carries the default route; 3 is another network.
    fed_routes = {{ip("192.168.1.0"), 2}, {0, 2}, {0, 3}};
    fed_addresses = {{1, ip("127.0.0.1")}, {3, ip("10.0.0.5")}, {2, ip("192.168.1.10")}, {2, ip("192.168.1.11")}};
  }
};

TEST_F(LocalAddress, TheFirstDefaultRouteDecidesAndItsFirstAddressIsTaken) {
  const LocalAddressResult found = find_local_ipv4_address();
  EXPECT_EQ(found.status, LOCAL_ADDRESS_FOUND);
  EXPECT_EQ(found.address, "192.168.1.10");

  fed_routes = {{0, 3}, {0, 2}};
  EXPECT_EQ(find_local_ipv4_address().address, "10.0.0.5");
}

TEST_F(LocalAddress, NoUsableDefaultRouteGivesCodeThree) {
  fed_routes = {{ip("192.168.1.0"), 2}};
  EXPECT_EQ(find_local_ipv4_address().status, NO_DEFAULT_ROUTE);
  fed_routes = {};
  EXPECT_EQ(find_local_ipv4_address().status, NO_DEFAULT_ROUTE);
  fed_routes = {{0, 0}, {0, 2}};  // the first default route has no interface
  EXPECT_EQ(find_local_ipv4_address().status, NO_DEFAULT_ROUTE);
  fed_routes = {{0, 2}};
  routes_readable = false;
  const LocalAddressResult unreadable = find_local_ipv4_address();
  EXPECT_EQ(unreadable.status, NO_DEFAULT_ROUTE);
  EXPECT_EQ(unreadable.address, "");
}

TEST_F(LocalAddress, AnUnreadableAddressListGivesCodeTwo) {
  addresses_readable = false;
  EXPECT_EQ(find_local_ipv4_address().status, ADDRESS_LIST_FAILED);
}

TEST_F(LocalAddress, OnlyTheExactLoopbackAddressIsSkipped) {
  fed_addresses = {{2, ip("127.0.0.1")}};
  EXPECT_EQ(find_local_ipv4_address().status, NO_ADDRESS_BUT_LOOPBACK);
  fed_addresses = {{3, ip("10.0.0.5")}};
  EXPECT_EQ(find_local_ipv4_address().status, NO_ADDRESS_BUT_LOOPBACK);
  fed_addresses = {{2, ip("127.0.0.1")}, {2, ip("127.0.0.2")}};
  EXPECT_EQ(find_local_ipv4_address().address, "127.0.0.2");
}

TEST_F(LocalAddress, CardLinksAreFourFieldsOrNothing) {
  fed_addresses = {{2, ip("1.2.3.4")}};
  FieldList fields = fields_of(fetch_wifi_addresses(""));
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[0], "Placing Card: http://1.2.3.4:56780/placing");
  EXPECT_EQ(fields[2], "Reasons Card: http://1.2.3.4:56780/reasons");
  EXPECT_EQ(fields[0].size(), 42u);
  for (int i : {1, 3}) {
    EXPECT_EQ(fields[i].rfind("<?xml", 0), 0u);
    EXPECT_EQ(fields[i].substr(fields[i].size() - 7), "</svg>\n");
  }

  fed_addresses = {{2, ip("192.168.100.200")}};
  fields = fields_of(fetch_wifi_addresses(""));
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[0].size(), 50u);
  EXPECT_EQ(fields[2].size(), 50u);

  fed_routes = {};
  EXPECT_EQ(fetch_wifi_addresses(""), "");
}

TEST(QrSvg, ASmallSymbolIsDrawnExactly) {
  const auto qr = qrcodegen::QrCode::encodeText("HI", qrcodegen::QrCode::Ecc::LOW);
  ASSERT_EQ(qr.getSize(), 21);
  const std::string svg = qr_to_svg(qr);
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" viewBox=\"0 0 29 29\" stroke=\"none\">\n"
      "\t<rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/>\n"
      "\t<path d=\"M4,4h1v1h-1z M5,4h1v1h-1z";
  EXPECT_EQ(svg.substr(0, head.size()), head);
  const std::string tail = "h1v1h-1z\" fill=\"#000000\"/>\n</svg>\n";
  EXPECT_EQ(svg.substr(svg.size() - tail.size()), tail);
  EXPECT_EQ(svg.find(FIELD_SEPARATOR), std::string::npos);

  // One square per dark module, nothing else.
  int dark = 0;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 21; ++x) dark += qr.getModule(x, y);
  int squares = 0;
  for (std::size_t at = 0; (at = svg.find("h1v1h-1z", at)) != std::string::npos; ++at) ++squares;
  EXPECT_EQ(squares, dark);
}

// Paints the squares of the SVG path into a grey-scale image and lets zbar read it.
std::string decode_svg_with_zbar(const std::string& svg) {
  std::smatch match;
  if (!std::regex_search(svg, match, std::regex("viewBox=\"0 0 (\\d+) \\d+\""))) return "no view box";
  const int n = std::stoi(match[1]);
  constexpr int scale = 6;
  std::vector<unsigned char> pixels(static_cast<std::size_t>(n * scale) * n * scale, 255);
  const std::regex square("M(\\d+),(\\d+)h1v1h-1z");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), square); it != std::sregex_iterator(); ++it) {
    const int x = std::stoi((*it)[1]), y = std::stoi((*it)[2]);
    for (int dy = 0; dy < scale; ++dy)
      for (int dx = 0; dx < scale; ++dx) pixels[static_cast<std::size_t>((y * scale + dy) * n * scale + x * scale + dx)] = 0;
  }
  char pattern[] = "/tmp/qr_XXXXXX";
  const int fd = mkstemp(pattern);
  close(fd);
  const std::string image = std::string(pattern) + ".pgm";
  std::filesystem::rename(pattern, image);
  {
    std::ofstream out(image, std::ios::binary);
    out << "P5 " << n * scale << " " << n * scale << " 255\n";
    out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  }
  std::string decoded;
  if (FILE* zbar = popen(("zbarimg --raw -q " + image + " 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, zbar)) decoded += buffer;
    pclose(zbar);
  }
  std::filesystem::remove(image);
  if (!decoded.empty() && decoded.back() == '\n') decoded.pop_back();
  return decoded;
}

TEST_F(LocalAddress, EachCardCodeDecodesToItsWholeLabel) {
  if (std::system("command -v zbarimg >/dev/null 2>&1") != 0) GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
  fed_addresses = {{2, ip("192.168.100.200")}};
  const FieldList fields = fields_of(fetch_wifi_addresses(""));
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(decode_svg_with_zbar(fields[1]), fields[0]);
  EXPECT_EQ(decode_svg_with_zbar(fields[3]), fields[2]);
}

TEST(LocalAddressOfThisMachine, IsFoundOrEmptyWithAKnownCode) {
  const LocalAddressResult local = find_local_ipv4_address();
  EXPECT_TRUE(local.status >= LOCAL_ADDRESS_FOUND && local.status <= NO_ADDRESS_BUT_LOOPBACK);
  EXPECT_EQ(local.address.empty(), local.status != LOCAL_ADDRESS_FOUND);
  if (local.status == LOCAL_ADDRESS_FOUND) {
    in_addr parsed{};
    EXPECT_EQ(inet_pton(AF_INET, local.address.c_str(), &parsed), 1) << local.address;
  }
}
}  // namespace
