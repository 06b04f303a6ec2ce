#include "store/schema.h"

#include <array>
#include <set>
#include <utility>

#include "store/database.h"

// Numbers form one code: division = id * 1000, team = division + 10..990 in steps of 10,
// contestant = team + 1..9. The triggers assign them and enforce the limits, so the
// operations only insert, update, delete and select.
const std::string schema_sql = R"SQL(
PRAGMA foreign_keys = ON;
PRAGMA journal_mode = WAL;
PRAGMA synchronous = NORMAL;
PRAGMA busy_timeout = 5000;

CREATE TABLE IF NOT EXISTS contest (
  id INTEGER PRIMARY KEY CHECK (id = 1),
  name TEXT NOT NULL,
  scored_at TEXT NOT NULL
) STRICT;

CREATE TABLE IF NOT EXISTS divisions (
  id INTEGER PRIMARY KEY CHECK (id < 10),
  name TEXT NOT NULL UNIQUE CHECK (name != ''),
  team_size INTEGER,
  number INTEGER UNIQUE
) STRICT;

CREATE TRIGGER IF NOT EXISTS set_division_number
AFTER INSERT ON divisions
BEGIN
  UPDATE divisions SET number = NEW.id * 1000 WHERE id = NEW.id;
END;

CREATE TABLE IF NOT EXISTS teams (
  id INTEGER PRIMARY KEY,
  division_no INTEGER NOT NULL,
  type TEXT NOT NULL,
  name TEXT NOT NULL CHECK (name != ''),
  coach TEXT,
  number INTEGER UNIQUE,
  FOREIGN KEY(division_no) REFERENCES divisions(number),
  UNIQUE(division_no, name)
) STRICT;

CREATE TRIGGER IF NOT EXISTS check_team_number_limit
BEFORE INSERT ON teams
BEGIN
  SELECT RAISE(ABORT, 'Team number limit reached in this division.')
  WHERE COALESCE((SELECT MAX(number) FROM teams WHERE division_no = NEW.division_no) % 1000, 0) >= 990;
END;

CREATE TRIGGER IF NOT EXISTS set_team_number
AFTER INSERT ON teams
BEGIN
  UPDATE teams
  SET number = COALESCE(
        (SELECT MAX(number) FROM teams WHERE division_no = NEW.division_no AND id != NEW.id),
        NEW.division_no) + 10
  WHERE id = NEW.id;
END;

CREATE TRIGGER IF NOT EXISTS validate_team_requires_size
BEFORE INSERT ON teams
WHEN NEW.type = 'Team'
BEGIN
  SELECT RAISE(ABORT, 'Cannot create Team when division team_size is null.')
  WHERE (SELECT team_size FROM divisions WHERE number = NEW.division_no) IS NULL;
END;

CREATE TRIGGER IF NOT EXISTS validate_team_requires_size_update
BEFORE UPDATE ON teams
WHEN NEW.type = 'Team'
BEGIN
  SELECT RAISE(ABORT, 'Cannot update to Team when division team_size is null.')
  WHERE (SELECT team_size FROM divisions WHERE number = NEW.division_no) IS NULL;
END;

CREATE TRIGGER IF NOT EXISTS validate_division_team_size
BEFORE UPDATE ON divisions
WHEN NEW.team_size IS NULL AND OLD.team_size IS NOT NULL
BEGIN
  SELECT RAISE(ABORT, 'Cannot set team_size to null when Team entries exist.')
  WHERE EXISTS (SELECT 1 FROM teams WHERE division_no = NEW.number AND type = 'Team');
END;

CREATE TABLE IF NOT EXISTS contestants (
  id INTEGER PRIMARY KEY,
  team_no INTEGER NOT NULL,
  name TEXT NOT NULL UNIQUE CHECK (name != ''),
  number INTEGER UNIQUE,
  FOREIGN KEY(team_no) REFERENCES teams(number)
) STRICT;

CREATE TRIGGER IF NOT EXISTS check_contestant_number_limit
BEFORE INSERT ON contestants
BEGIN
  SELECT RAISE(ABORT, 'Contestant number limit reached in this team.')
  WHERE COALESCE((SELECT MAX(number) FROM contestants WHERE team_no = NEW.team_no) % 10, 0) >= 9;
END;

CREATE TRIGGER IF NOT EXISTS set_contestant_number
AFTER INSERT ON contestants
BEGIN
  UPDATE contestants
  SET number = COALESCE(
        (SELECT MAX(number) FROM contestants WHERE team_no = NEW.team_no AND id != NEW.id),
        NEW.team_no) + 1
  WHERE id = NEW.id;
END;

CREATE TABLE IF NOT EXISTS class_types (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE CHECK (name != '')
) STRICT;

CREATE TABLE IF NOT EXISTS classes (
  id INTEGER PRIMARY KEY,
  type_id INTEGER NOT NULL,
  name TEXT NOT NULL UNIQUE CHECK (name != ''),
  placing INTEGER,
  cuts INTEGER,
  timestamp TEXT NOT NULL,
  FOREIGN KEY(type_id) REFERENCES class_types(id)
) STRICT;

CREATE TABLE IF NOT EXISTS placings (
  id INTEGER PRIMARY KEY,
  class_id INTEGER NOT NULL,
  contestant_no INTEGER NOT NULL,
  placing INTEGER NOT NULL,
  placing_score INTEGER,
  reasons_score INTEGER,
  total_score INTEGER,
  timestamp TEXT NOT NULL,
  FOREIGN KEY(class_id) REFERENCES classes(id),
  FOREIGN KEY(contestant_no) REFERENCES contestants(number),
  UNIQUE(class_id, contestant_no)
) STRICT;
)SQL";

namespace {
// Type, name, table and SQL text of one schema object.
using SchemaObject = std::array<std::string, 4>;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// The SQL text with every run of white space outside quotes made one blank, and none at
// either end: the same script laid out otherwise (other line ends, tabs, indents) gives the
// same text. Quoted text is kept as it is.
std::string without_layout(const std::string& sql) {
  std::string text;
  char closing_quote = 0;
  bool blank = false;
  for (const char c : sql) {
    if (closing_quote) {
      text += c;
      if (c == closing_quote) closing_quote = 0;  // a doubled quote closes and opens again
      continue;
    }
    if (is_blank(c)) {
      blank = !text.empty();
      continue;
    }
    if (blank) text += ' ';
    blank = false;
    text += c;
    if (c == '\'' || c == '"' || c == '`') closing_quote = c;
    else if (c == '[') closing_quote = ']';
  }
  return text;
}

// The statistics tables that SQLite's own ANALYZE adds (sqlite_stat4 only where SQLite is
// built with it), exactly as it makes them. Database tools run ANALYZE on files they inspect;
// such tables are SQLite's, not the contest's, and change none of its rows or rules.
bool is_sqlite_statistics(const SchemaObject& object) {
  static const std::set<SchemaObject> made_by_analyze = {
      {"table", "sqlite_stat1", "sqlite_stat1", "CREATE TABLE sqlite_stat1(tbl,idx,stat)"},
      {"table", "sqlite_stat4", "sqlite_stat4", "CREATE TABLE sqlite_stat4(tbl,idx,neq,nlt,ndlt,sample)"}};
  return made_by_analyze.count(object) != 0;
}

// Every object of the database's own schema but SQLite's statistics; an automatic index has
// no SQL text.
std::multiset<SchemaObject> schema_objects(sqlite3* db) {
  std::multiset<SchemaObject> objects;
  Statement query = prepare_statement(db, "SELECT type, name, tbl_name, sql FROM main.sqlite_schema;");
  while (query.next_row()) {
    SchemaObject object{column_text(query, 0), column_text(query, 1), column_text(query, 2),
                        without_layout(column_text(query, 3))};
    if (!is_sqlite_statistics(object)) objects.insert(std::move(object));
  }
  return objects;
}

// What a new contest holds, taken from the script itself on a database in memory.
std::multiset<SchemaObject> contest_schema_objects() {
  Connection memory(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  execute_script(memory.db, schema_sql);
  return schema_objects(memory.db);
}
}  // namespace

bool holds_contest_schema(sqlite3* db) {
  static const std::multiset<SchemaObject> expected = contest_schema_objects();
  return schema_objects(db) == expected;
}
