// Not built yet: each answers that the operation is not available.
#include "store/failures.h"
#include "store/operations.h"

std::string fetch_indiv_rankings(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string fetch_team_rankings(const std::string&) { return NOT_AVAILABLE_ERROR; }
