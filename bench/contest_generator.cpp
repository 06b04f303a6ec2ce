#include "bench/contest_generator.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <vector>

#include "store/schema.h"

namespace {
const char* const CLASSES_SAVED = "2025-03-01 08:00:00";
const char* const PLACINGS_SAVED = "2025-03-01 09:00:00";
const char* const CLASS_TYPE_NAMES[] = {"Cattle", "Swine", "Sheep", "Goats", "Horses", "Poultry"};

struct Connection {
  sqlite3* db = nullptr;
  ~Connection() { sqlite3_close(db); }
};

struct Prepared {
  sqlite3_stmt* stmt = nullptr;
  ~Prepared() { sqlite3_finalize(stmt); }
};

void fail(sqlite3* db, const std::string& what) {
  throw std::runtime_error(what + ": " + (db ? sqlite3_errmsg(db) : "no connection"));
}

void exec(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail(db, sql.substr(0, 60));
}

void prepare(sqlite3* db, const char* sql, Prepared& into) {
  if (sqlite3_prepare_v2(db, sql, -1, &into.stmt, nullptr) != SQLITE_OK) fail(db, sql);
}

void run(sqlite3* db, Prepared& statement) {
  if (sqlite3_step(statement.stmt) != SQLITE_DONE) fail(db, sqlite3_sql(statement.stmt));
  sqlite3_reset(statement.stmt);
  sqlite3_clear_bindings(statement.stmt);
}

// A placing as the pages send it: the digits 1 to 4 in some order.
int random_placing(std::mt19937& rng) {
  std::array<int, 4> items{1, 2, 3, 4};
  std::shuffle(items.begin(), items.end(), rng);
  return items[0] * 1000 + items[1] * 100 + items[2] * 10 + items[3];
}

void write_setup(sqlite3* db, const ContestShape& shape, std::mt19937& rng, std::vector<int>& contestants) {
  Prepared division, team, contestant, class_type, klass;
  prepare(db, "INSERT INTO divisions (name, team_size) VALUES (?, ?)", division);
  prepare(db, "INSERT INTO teams (division_no, type, name, coach) VALUES (?, ?, ?, ?)", team);
  prepare(db, "INSERT INTO contestants (team_no, name) VALUES (?, ?)", contestant);
  prepare(db, "INSERT INTO class_types (name) VALUES (?)", class_type);
  prepare(db, "INSERT INTO classes (type_id, name, placing, cuts, timestamp) VALUES (?, ?, ?, ?, ?)", klass);

  for (int d = 1; d <= shape.divisions; ++d) {
    const std::string name = "Division " + std::to_string(d);
    sqlite3_bind_text(division.stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(division.stmt, 2, shape.team_size);
    run(db, division);
    for (int t = 1; t <= shape.teams_per_division; ++t) {
      // Every tenth is a group: ranked individually, never as a team.
      const bool group = t % 10 == 0;
      const std::string team_name = (group ? "Group " : "Team ") + std::to_string(d) + "-" + std::to_string(t);
      const std::string coach = "Coach " + std::to_string(d) + "-" + std::to_string(t);
      sqlite3_bind_int(team.stmt, 1, d * 1000);
      sqlite3_bind_text(team.stmt, 2, group ? "Group" : "Team", -1, SQLITE_STATIC);
      sqlite3_bind_text(team.stmt, 3, team_name.c_str(), -1, SQLITE_TRANSIENT);
      if (t % 3 == 0) sqlite3_bind_null(team.stmt, 4);
      else sqlite3_bind_text(team.stmt, 4, coach.c_str(), -1, SQLITE_TRANSIENT);
      run(db, team);
      // The schema's triggers number teams and contestants in steps of 10 and 1 in a fresh
      // contest. Should that ever differ, the placings' foreign key refuses the insert.
      const int team_no = d * 1000 + t * 10;
      for (int c = 1; c <= shape.contestants_per_team; ++c) {
        const std::string person = "Contestant " + std::to_string(team_no + c);
        sqlite3_bind_int(contestant.stmt, 1, team_no);
        sqlite3_bind_text(contestant.stmt, 2, person.c_str(), -1, SQLITE_TRANSIENT);
        run(db, contestant);
        contestants.push_back(team_no + c);
      }
    }
  }
  const int type_count = std::min<int>(shape.class_types, std::size(CLASS_TYPE_NAMES));
  for (int k = 0; k < type_count; ++k) {
    sqlite3_bind_text(class_type.stmt, 1, CLASS_TYPE_NAMES[k], -1, SQLITE_STATIC);
    run(db, class_type);
  }
  std::uniform_int_distribution<int> cut(1, 9);
  for (int k = 1; k <= shape.classes; ++k) {
    const std::string name = "Class " + std::to_string(k);
    sqlite3_bind_int(klass.stmt, 1, (k - 1) % type_count + 1);
    sqlite3_bind_text(klass.stmt, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(klass.stmt, 3, random_placing(rng));
    sqlite3_bind_int(klass.stmt, 4, cut(rng) * 100 + cut(rng) * 10 + cut(rng));
    sqlite3_bind_text(klass.stmt, 5, CLASSES_SAVED, -1, SQLITE_STATIC);
    run(db, klass);
  }
}

void write_placings(sqlite3* db, const ContestShape& shape, std::mt19937& rng, const std::vector<int>& contestants) {
  Prepared placing;
  prepare(db,
          "INSERT INTO placings (class_id, contestant_no, placing, reasons_score, timestamp) "
          "VALUES (?, ?, ?, ?, ?)",
          placing);
  std::uniform_int_distribution<int> reasons(20, 50);
  for (int k = 1; k <= shape.classes; ++k) {
    for (int number : contestants) {
      sqlite3_bind_int(placing.stmt, 1, k);
      sqlite3_bind_int(placing.stmt, 2, number);
      sqlite3_bind_int(placing.stmt, 3, random_placing(rng));
      if (k <= shape.reasons_classes) sqlite3_bind_int(placing.stmt, 4, reasons(rng));
      else sqlite3_bind_null(placing.stmt, 4);
      sqlite3_bind_text(placing.stmt, 5, PLACINGS_SAVED, -1, SQLITE_STATIC);
      run(db, placing);
    }
  }
}
}  // namespace

void write_contest(const std::string& path, const ContestShape& shape) {
  if (std::filesystem::exists(path)) throw std::runtime_error("already exists: " + path);
  Connection connection;
  if (sqlite3_open_v2(path.c_str(), &connection.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
    fail(connection.db, "open " + path);
  sqlite3* db = connection.db;
  exec(db, schema_sql);
  exec(db, "INSERT INTO contest (name, scored_at) VALUES ('Benchmark', '2020-01-01 00:00:00')");

  std::mt19937 rng(shape.seed);
  std::vector<int> contestants;
  exec(db, "BEGIN");
  write_setup(db, shape, rng, contestants);
  write_placings(db, shape, rng, contestants);
  exec(db, "COMMIT");
  // Leave one self-contained file: copies need no -wal beside them.
  exec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
}
