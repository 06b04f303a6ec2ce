#pragma once
#include <string>

// The two card links with their QR codes drawn as SVG.
std::string fetch_wifi_addresses(const std::string& ignored);
