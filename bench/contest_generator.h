#pragma once
// Writes a whole contest straight into a new contest database, for benchmarks and load tests.
#include <string>

struct ContestShape {
  int divisions = 9;              // at most 9
  int teams_per_division = 99;    // at most 99
  int contestants_per_team = 9;   // at most 9
  int class_types = 4;
  int classes = 10;               // spread over the class types in turn
  int reasons_classes = 5;        // the first classes carry a reasons score for every placing
  int team_size = 4;              // of every division
  unsigned seed = 20240501;       // placings, cuts and reasons scores are drawn from it
};

// Creates the database at path (which must not exist yet) with the contest's own schema and
// triggers, then one placing for every contestant in every class. Classes and placings carry
// a stamp from the past and no scores, so the first rescoring pass scores every placing.
// Raises std::runtime_error on any failure.
void write_contest(const std::string& path, const ContestShape& shape = ContestShape{});
