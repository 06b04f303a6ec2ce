// Not built yet: each answers that the operation is not available.
#include "store/failures.h"
#include "store/operations.h"

std::string save_placing(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string fetch_placings(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string fetch_placing_counts(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string delete_placing(const std::string&) { return NOT_AVAILABLE_ERROR; }
