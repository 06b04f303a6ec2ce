#pragma once
// The kinds of failure an operation raises, and the one place that turns each kind into its
// result text. The texts themselves are in store/result_texts.h.
#include <exception>
#include <stdexcept>
#include <string>

#include "store/result_texts.h"

// An operation needed the open contest and none is open.
struct NoContestOpen : std::runtime_error {
  NoContestOpen() : std::runtime_error("Database not initialized") {}
};

// An argument had fewer fields than the operation reads.
struct MissingField : std::runtime_error {
  MissingField() : std::runtime_error("A required field is missing") {}
};

// A number field that holds no number, or one outside the 32-bit range.
struct InvalidNumber : std::invalid_argument {
  InvalidNumber() : std::invalid_argument("A number is not valid") {}
};

// The database answered in a way it never should, such as no row from a query that always
// gives one.
struct DatabaseProblem : std::runtime_error {
  using std::runtime_error::runtime_error;
};

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

// The text of the code's cause when it names one, else the given text.
const std::string& cause_text_or(int code, const std::string& otherwise);

// The result text for a failure that an operation raised, chosen by its kind: SQLite's
// failures by their code (a database problem when the code names no cause), a file-system
// failure as a full disk or a folder that could not be made, anything else as unexpected.
std::string failure_result(std::exception_ptr failure) noexcept;
