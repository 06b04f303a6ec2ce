// Not built yet: each answers that the operation is not available.
#include "store/failures.h"
#include "store/operations.h"

std::string save_division(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string fetch_divisions(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string delete_division(const std::string&) { return NOT_AVAILABLE_ERROR; }
