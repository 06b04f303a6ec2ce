// Not built yet: each answers that the operation is not available.
#include "store/failures.h"
#include "cards/card_links.h"

std::string fetch_wifi_addresses(const std::string&) { return NOT_AVAILABLE_ERROR; }
