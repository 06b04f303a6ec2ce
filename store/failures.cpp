#include "store/failures.h"

#include <filesystem>
#include <new>
#include <stdexcept>

namespace {
const char* const missing_field_message = "A required field is missing";
}

void raise_missing_field() { throw std::runtime_error(missing_field_message); }

std::string failure_result(std::exception_ptr failure) noexcept {
  try {
    std::rethrow_exception(failure);
  } catch (const std::invalid_argument&) {
    return INVALID_NUMBER_ERROR;
  } catch (const std::out_of_range&) {
    return INVALID_NUMBER_ERROR;
  } catch (const std::filesystem::filesystem_error&) {
    return FOLDER_ERROR;
  } catch (const std::runtime_error& e) {
    const std::string what = e.what();
    if (what == "Database not initialized") return NO_CONTEST_ERROR;
    if (what == missing_field_message) return MISSING_FIELD_ERROR;
    if (what.rfind("Failed to prepare statement", 0) == 0) return DATABASE_PROBLEM_ERROR;
    return UNEXPECTED_ERROR;
  } catch (...) {
    return UNEXPECTED_ERROR;
  }
}
