// Not built yet: each answers that the operation is not available.
#include "store/failures.h"
#include "store/operations.h"

std::string save_contestant(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string fetch_contestants(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string fetch_contestant_counts(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string delete_contestant(const std::string&) { return NOT_AVAILABLE_ERROR; }
