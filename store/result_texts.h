#pragma once
// Every result text of the store that a user or a card page reads. A failure's text is chosen
// here by its kind and cause; SQLite's own messages never reach a user.
#include <string>

// Failures that any operation may meet; failure_result (store/failures.h) picks among them.
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

// Causes outside the contest's own rules, told apart by SQLite's result code (cause_text).
inline const std::string DISK_FULL_ERROR = "ERROR:The disk is full. Free some space, then try again.";
inline const std::string WRITE_FAILED_ERROR =
    "ERROR:The contest file could not be written: it may be read-only, or its disk may have failed.";
inline const std::string CONTEST_BUSY_ERROR =
    "ERROR:The contest is busy in another program. Try again once that program has finished with it.";
inline const std::string CONTEST_MOVED_ERROR =
    "ERROR:The contest file was moved, replaced or deleted while it was open, so nothing more is "
    "saved to it. Open the contest again.";

// Creating and opening a contest.
inline const std::string NO_DESKTOP_ERROR = "ERROR:The Desktop folder could not be found.";
inline const std::string BAD_CONTEST_NAME_ERROR =
    "ERROR:A contest name cannot be empty, . or .., None, longer than 255 bytes, or hold "
    "control characters or any of / \\ < > : \" | ? *";
inline const std::string CONTEST_EXISTS_ERROR = "ERROR:This contest already exists on your desktop.";
inline const std::string OPEN_FAILED_ERROR = "ERROR:Critical failure, the database could not be opened.";
inline const std::string SCHEMA_FAILED_ERROR = "ERROR:Critical failure, the database could not be initialized.";
inline const std::string NOT_INITIALIZED_ERROR = "ERROR:The contest could not be initialized.";
inline const std::string PRAGMA_FAILED_ERROR = "ERROR:Pragma could not be set.";
inline const std::string BUSY_TIMEOUT_FAILED_ERROR = "ERROR:Pragma busy timeout could not be set.";
inline const std::string READ_ONLY_CONTEST_ERROR =
    "ERROR:This contest file cannot be written: the file or its folder is read-only.";
inline const std::string NAME_NOT_RETRIEVED_ERROR = "ERROR:Contest name could not be retrieved.";
inline const std::string CONTEST_NAMED_NONE_ERROR = "ERROR:A contest named None cannot be opened. Rename it first.";
inline const std::string NOT_A_CONTEST_ERROR =
    "ERROR:This file is not a contest file: some of the contest's tables or rules are missing, "
    "changed or added.";
inline const std::string DAMAGED_CONTEST_ERROR =
    "ERROR:The contest file is damaged and cannot be opened. Open a backup copy of the contest instead.";
// What opening answers when no file was chosen; the page shows it as "no contest open".
inline const std::string NO_CONTEST_CHOSEN = "None";

// Saving a class.
inline const std::string PLACING_WITHOUT_CUTS_ERROR = "ERROR:Enter both the placing and the cuts.";

// The card saves answer only these two.
inline const std::string CARD_TRUE = "true";
inline const std::string CARD_FALSE = "false";
