#include "store/failures.h"

#include <sqlite3.h>

#include <cerrno>
#include <filesystem>
#include <new>
#include <stdexcept>

namespace {
const char* const missing_field_message = "A required field is missing";
}

void raise_missing_field() { throw std::runtime_error(missing_field_message); }

const std::string* cause_text(int code) {
  if (code == SQLITE_READONLY_DBMOVED) return &CONTEST_MOVED_ERROR;
  switch (code & 0xFF) {
    case SQLITE_FULL:
      return &DISK_FULL_ERROR;
    case SQLITE_IOERR:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
      return &WRITE_FAILED_ERROR;
    case SQLITE_BUSY:
      return &CONTEST_BUSY_ERROR;
    default:
      return nullptr;
  }
}

std::string failure_result(std::exception_ptr failure) noexcept {
  try {
    std::rethrow_exception(failure);
  } catch (const std::invalid_argument&) {
    return INVALID_NUMBER_ERROR;
  } catch (const std::out_of_range&) {
    return INVALID_NUMBER_ERROR;
  } catch (const std::filesystem::filesystem_error& e) {
    if (e.code() == std::errc::no_space_on_device) return DISK_FULL_ERROR;
    return FOLDER_ERROR;
  } catch (const SqliteFailure& e) {
    if (const std::string* text = cause_text(e.code)) return *text;
    if (std::string(e.what()).rfind("Failed to prepare statement", 0) == 0) return DATABASE_PROBLEM_ERROR;
    return UNEXPECTED_ERROR;
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
