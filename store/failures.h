#pragma once
// Fixed result texts of failures. SQLite's own messages never reach a user.
#include <exception>
#include <stdexcept>
#include <string>

inline const std::string CONSISTENCY_ERROR = "ERROR:A data consistency check prevented this action.";
inline const std::string MISSING_FIELD_ERROR = "ERROR:A required field is missing.";
inline const std::string NO_CONTEST_ERROR = "ERROR:A contest is not open.";
inline const std::string INVALID_NUMBER_ERROR = "ERROR:A number is not valid.";
inline const std::string FOLDER_ERROR = "ERROR:The contest folder could not be made.";
inline const std::string DATABASE_PROBLEM_ERROR =
    "ERROR:Database problem. Restart the application if the problem persists.";
inline const std::string UNEXPECTED_ERROR =
    "ERROR:The action failed unexpectedly. Restart the application if the problem persists.";
inline const std::string NOT_AVAILABLE_ERROR = "ERROR:This operation is not available yet.";
inline const std::string DISK_FULL_ERROR = "ERROR:The disk is full. Free some space, then try again.";
inline const std::string WRITE_FAILED_ERROR =
    "ERROR:The contest file could not be written: it may be read-only, or its disk may have failed.";
inline const std::string CONTEST_BUSY_ERROR =
    "ERROR:The contest is busy in another program. Try again once that program has finished with it.";
inline const std::string CONTEST_MOVED_ERROR =
    "ERROR:The contest file was moved, replaced or deleted while it was open, so nothing more is "
    "saved to it. Open the contest again.";

// A failure that SQLite reported, with its extended result code: the user's text is chosen
// from the code, never from SQLite's message.
struct SqliteFailure : std::runtime_error {
  int code;
  SqliteFailure(const std::string& what, int result_code) : std::runtime_error(what), code(result_code) {}
};

// The text for a result code that names a cause outside the contest's own rules: a full disk,
// a file that cannot be written, a lock another program holds, a file moved away. Null for
// any other code.
const std::string* cause_text(int code);

[[noreturn]] void raise_missing_field();

// The result text for a failure that an operation raised, chosen by its kind.
std::string failure_result(std::exception_ptr failure) noexcept;
