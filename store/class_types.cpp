// Not built yet: each answers that the operation is not available.
#include "store/failures.h"
#include "store/operations.h"

std::string save_class_type(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string fetch_class_types(const std::string&) { return NOT_AVAILABLE_ERROR; }
std::string delete_class_type(const std::string&) { return NOT_AVAILABLE_ERROR; }
