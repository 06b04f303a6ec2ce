#include "store/failures.h"

#include <sqlite3.h>

#include <cerrno>
#include <filesystem>

const std::string* cause_text(int code) {
  if (code == SQLITE_READONLY_DBMOVED) return &CONTEST_MOVED_ERROR;
  // The WAL's index beside the file could not grow: SQLite reports the full disk this way.
  if (code == SQLITE_IOERR_SHMSIZE) return &DISK_FULL_ERROR;
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

const std::string& cause_text_or(int code, const std::string& otherwise) {
  const std::string* cause = cause_text(code);
  return cause ? *cause : otherwise;
}

std::string failure_result(std::exception_ptr failure) noexcept {
  try {
    std::rethrow_exception(failure);
  } catch (const NoContestOpen&) {
    return NO_CONTEST_ERROR;
  } catch (const MissingField&) {
    return MISSING_FIELD_ERROR;
  } catch (const InvalidNumber&) {
    return INVALID_NUMBER_ERROR;
  } catch (const DatabaseProblem&) {
    return DATABASE_PROBLEM_ERROR;
  } catch (const SqliteFailure& e) {
    return cause_text_or(e.code, DATABASE_PROBLEM_ERROR);
  } catch (const std::filesystem::filesystem_error& e) {
    if (e.code() == std::errc::no_space_on_device) return DISK_FULL_ERROR;
    return FOLDER_ERROR;
  } catch (...) {
    return UNEXPECTED_ERROR;
  }
}
