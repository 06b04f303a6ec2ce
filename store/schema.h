#pragma once
#include <string>

// The script run once on every new contest database: pragmas, tables and triggers.
extern const std::string schema_sql;

// SQLite names the indexes of the UNIQUE keys by table, in the order the keys stand there:
//   sqlite_autoindex_divisions_2     divisions(number)
//   sqlite_autoindex_teams_1         teams(number)
//   sqlite_autoindex_contestants_2   contestants(number)
//   sqlite_autoindex_placings_1      placings(class_id, contestant_no)
// A contest file may hold statistics (sqlite_stat1) that a database tool or another program
// wrote, saying anything of its tables, and SQLite's planner believes them: a plan it chose
// from them can scan a table once for every row of another. So statements fix their plans:
// joins run in the order written (CROSS JOIN), each table is reached through the index
// named for it (INDEXED BY) or scanned without any (NOT INDEXED), only the few class types
// and classes are scanned inside a loop, and counts by a column that has no index read each
// table once and group the rows. A statement of one table that finds its row by the whole of
// a key needs none of this: SQLite takes the key without weighing the statistics.

struct sqlite3;

// True when the database's schema is the one schema_sql makes: every object (table, index,
// trigger, view) of the same type, name and table, with the same SQL text up to its layout,
// and none missing or added; the statistics tables of SQLite's own ANALYZE may stand beside
// them. Raises a SqliteFailure when it cannot be read.
bool holds_contest_schema(sqlite3* db);
