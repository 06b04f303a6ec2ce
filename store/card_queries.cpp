// Not built yet: each answers that the operation is not available.
#include "store/failures.h"
#include "store/operations.h"

std::string fetch_card_names(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string fetch_card_names_and_placing(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string save_card_placing(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string save_card_reasons(const std::string&) { return NOT_AVAILABLE_ERROR; }
