#include "bench/contest_generator.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <vector>

#include "store/database.h"
#include "store/schema.h"

namespace {
const char* const CLASSES_SAVED = "2025-03-01 08:00:00";
const char* const PLACINGS_SAVED = "2025-03-01 09:00:00";
const char* const CLASS_TYPE_NAMES[] = {"Cattle", "Swine", "Sheep", "Goats", "Horses", "Poultry"};

// Runs an insert whose parameters are bound, then makes it ready for the next row.
void run(Statement& statement) {
  statement.execute();
  statement.reset();
  clear_bindings(statement);
}

// A placing as the pages send it: the digits 1 to 4 in some order.
int random_placing(std::mt19937& rng) {
  std::array<int, 4> items{1, 2, 3, 4};
  std::shuffle(items.begin(), items.end(), rng);
  return items[0] * 1000 + items[1] * 100 + items[2] * 10 + items[3];
}

void write_setup(sqlite3* db, const ContestShape& shape, std::mt19937& rng, std::vector<int>& contestants) {
  Statement division = prepare_statement(db, "INSERT INTO divisions (name, team_size) VALUES (?, ?)");
  Statement team = prepare_statement(db, "INSERT INTO teams (division_no, type, name, coach) VALUES (?, ?, ?, ?)");
  Statement contestant = prepare_statement(db, "INSERT INTO contestants (team_no, name) VALUES (?, ?)");
  Statement class_type = prepare_statement(db, "INSERT INTO class_types (name) VALUES (?)");
  Statement klass = prepare_statement(
      db, "INSERT INTO classes (type_id, name, placing, cuts, timestamp) VALUES (?, ?, ?, ?, ?)");

  for (int d = 1; d <= shape.divisions; ++d) {
    division.bind_text(1, "Division " + std::to_string(d));
    division.bind_int(2, shape.team_size);
    run(division);
    for (int t = 1; t <= shape.teams_per_division; ++t) {
      // Every tenth is a group: ranked individually, never as a team.
      const bool group = t % 10 == 0;
      team.bind_int(1, d * 1000);
      team.bind_text(2, group ? "Group" : "Team");
      team.bind_text(3, (group ? "Group " : "Team ") + std::to_string(d) + "-" + std::to_string(t));
      if (t % 3 == 0) team.bind_null(4);
      else team.bind_text(4, "Coach " + std::to_string(d) + "-" + std::to_string(t));
      run(team);
      // The schema's triggers number teams and contestants in steps of 10 and 1 in a fresh
      // contest. Should that ever differ, the placings' foreign key refuses the insert.
      const int team_no = d * 1000 + t * 10;
      for (int c = 1; c <= shape.contestants_per_team; ++c) {
        contestant.bind_int(1, team_no);
        contestant.bind_text(2, "Contestant " + std::to_string(team_no + c));
        run(contestant);
        contestants.push_back(team_no + c);
      }
    }
  }
  const int type_count = std::min<int>(shape.class_types, std::size(CLASS_TYPE_NAMES));
  for (int k = 0; k < type_count; ++k) {
    class_type.bind_text(1, CLASS_TYPE_NAMES[k]);
    run(class_type);
  }
  std::uniform_int_distribution<int> cut(1, 9);
  for (int k = 1; k <= shape.classes; ++k) {
    klass.bind_int(1, (k - 1) % type_count + 1);
    klass.bind_text(2, "Class " + std::to_string(k));
    klass.bind_int(3, random_placing(rng));
    klass.bind_int(4, cut(rng) * 100 + cut(rng) * 10 + cut(rng));
    klass.bind_text(5, CLASSES_SAVED);
    run(klass);
  }
}

void write_placings(sqlite3* db, const ContestShape& shape, std::mt19937& rng, const std::vector<int>& contestants) {
  Statement placing = prepare_statement(
      db,
      "INSERT INTO placings (class_id, contestant_no, placing, reasons_score, timestamp) "
      "VALUES (?, ?, ?, ?, ?)");
  std::uniform_int_distribution<int> reasons(20, 50);
  for (int k = 1; k <= shape.classes; ++k) {
    for (int number : contestants) {
      placing.bind_int(1, k);
      placing.bind_int(2, number);
      placing.bind_int(3, random_placing(rng));
      if (k <= shape.reasons_classes) placing.bind_int(4, reasons(rng));
      else placing.bind_null(4);
      placing.bind_text(5, PLACINGS_SAVED);
      run(placing);
    }
  }
}
}  // namespace

void write_contest(const std::string& path, const ContestShape& shape) {
  if (std::filesystem::exists(path)) throw std::runtime_error("already exists: " + path);
  Connection connection(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  sqlite3* db = connection.db;
  execute_script(db, schema_sql);
  execute_script(db, "INSERT INTO contest (name, scored_at) VALUES ('Benchmark', '2020-01-01 00:00:00')");

  std::mt19937 rng(shape.seed);
  std::vector<int> contestants;
  {
    TransactionGuard transaction(TransactionGuard::Deferred, db);
    write_setup(db, shape, rng, contestants);
    write_placings(db, shape, rng, contestants);
    transaction.commit();
  }
  // Leave one self-contained file: copies need no -wal beside them.
  checkpoint_truncate(db);
}
