#pragma once
#include <string>

// The script run once on every new contest database: pragmas, tables and triggers.
extern const std::string schema_sql;

struct sqlite3;

// True when the database holds every table, column and trigger that schema_sql makes.
// Raises a SqliteFailure when it cannot be read.
bool holds_contest_schema(sqlite3* db);
