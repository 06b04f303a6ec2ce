#pragma once
#include <string>

// The script run once on every new contest database: pragmas, tables and triggers.
extern const std::string schema_sql;

struct sqlite3;

// True when the database's schema is the one schema_sql makes: every object (table, index,
// trigger, view) of the same type, name and table, with the same SQL text up to its layout,
// and none missing or added; the statistics tables of SQLite's own ANALYZE may stand beside
// them. Raises a SqliteFailure when it cannot be read.
bool holds_contest_schema(sqlite3* db);
