#include "cards/card_links.h"

#include <qrcodegen.hpp>

#include "cards/http_server.h"
#include "cards/local_address.h"
#include "cards/qr_svg.h"
#include "store/fields.h"

namespace {
// The same text is shown and encoded, prefix included.
std::string card_label(const char* title, const std::string& address, const char* path) {
  return std::string(title) + ": http://" + address + ":" + std::to_string(CARD_SERVER_PORT) + path;
}

std::string label_qr_svg(const std::string& label) {
  return qr_to_svg(qrcodegen::QrCode::encodeText(label.c_str(), qrcodegen::QrCode::Ecc::MEDIUM));
}
}  // namespace

std::string fetch_wifi_addresses(const std::string&) {
  // Links to a port this program could not listen on would lead phones to whatever holds it,
  // such as another copy of the program with another contest.
  if (card_server_unreachable()) return std::string();
  const LocalAddressResult local = find_local_ipv4_address();
  if (local.status != LOCAL_ADDRESS_FOUND) return std::string();
  const std::string placing = card_label("Placing Card", local.address, "/placing");
  const std::string reasons = card_label("Reasons Card", local.address, "/reasons");
  std::string result = placing;
  result += FIELD_SEPARATOR;
  result += label_qr_svg(placing);
  result += FIELD_SEPARATOR;
  result += reasons;
  result += FIELD_SEPARATOR;
  result += label_qr_svg(reasons);
  return result;
}
