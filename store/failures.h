#pragma once
// Fixed result texts of failures. SQLite's own messages never reach a user.
#include <exception>
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

[[noreturn]] void raise_missing_field();

// The result text for a failure that an operation raised, chosen by its kind.
std::string failure_result(std::exception_ptr failure) noexcept;
