// Not built yet: each answers that the operation is not available.
#include "store/failures.h"
#include "store/operations.h"

std::string save_team(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string fetch_teams(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string delete_team(const std::string&) { return NOT_AVAILABLE_ERROR; }
