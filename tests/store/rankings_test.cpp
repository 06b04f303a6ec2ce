#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "scoring_test_support.h"
#include "store/scoring.h"
#include "store_fixture.h"

namespace {
const std::string S(1, '\x1F');

// Rows that share division, ranking and rank may come in any order: compare those as sets.
void expect_ranking(const Rows& actual, const Rows& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size();) {
    std::size_t j = i;
    while (j < expected.size() && std::equal(expected[j].begin(), expected[j].begin() + 3, expected[i].begin())) ++j;
    Rows got(actual.begin() + i, actual.begin() + j), want(expected.begin() + i, expected.begin() + j);
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want) << "rank " << expected[i][2] << " of " << expected[i][0] << " " << expected[i][1];
    i = j;
  }
}

// Expected rows of one division, written per ranking as "rank/score/name/team, ...".
Rows ranking_rows(const std::string& division, std::initializer_list<std::pair<const char*, std::string>> rankings) {
  Rows rows;
  for (const auto& [ranking, entries] : rankings) {
    std::string::size_type start = 0;
    while (start < entries.size()) {
      const auto end = std::min(entries.find(", ", start), entries.size());
      std::vector<std::string> row{division, ranking};
      const std::string entry = entries.substr(start, end - start);
      for (std::string::size_type from = 0;;) {
        const auto slash = entry.find('/', from);
        row.push_back(entry.substr(from, slash == std::string::npos ? std::string::npos : slash - from));
        if (slash == std::string::npos) break;
        from = slash + 1;
      }
      rows.push_back(row);
      start = end + 2;
    }
  }
  return rows;
}

class RankingsTest : public ContestTest {
 protected:
  // One division Junior (1000) of team size 3 and the class types Cattle (1) and Swine (2),
  // with classes Heifers (1, Cattle) and Gilts (2, Swine), both 1234 with cuts 253.
  void SetUp() override {
    ContestTest::SetUp();
    exec("INSERT INTO divisions (name, team_size) VALUES ('Junior', 3);"
         "INSERT INTO class_types (name) VALUES ('Cattle'), ('Swine');"
         "INSERT INTO classes (type_id, name, placing, cuts, timestamp) VALUES"
         " (1, 'Heifers', 1234, 253, '2024-05-01 09:00:00'), (2, 'Gilts', 1234, 253, '2024-05-01 09:00:00');");
  }

  // A team or group in division 1000 with its contestants; answers the team number.
  static int add_team(const std::string& type, const std::string& name, std::initializer_list<const char*> members) {
    exec("INSERT INTO teams (division_no, type, name) VALUES (1000, '" + type + "', '" + name + "')");
    const int team = std::stoi(text("SELECT number FROM teams WHERE name = '" + name + "'"));
    for (const char* member : members)
      exec("INSERT INTO contestants (team_no, name) VALUES (" + std::to_string(team) + ", '" + member + "')");
    return team;
  }

  static void add_placing(int class_id, int contestant, int placing, const std::string& reasons = "NULL") {
    exec("INSERT INTO placings (class_id, contestant_no, placing, reasons_score, timestamp) VALUES (" +
         std::to_string(class_id) + ", " + std::to_string(contestant) + ", " + std::to_string(placing) + ", " +
         reasons + ", '2024-05-01 09:30:00')");
  }

  // Field 1 (the ranking) of every row, in order, without repeats.
  static std::vector<std::string> rankings_in(const std::string& result) {
    std::vector<std::string> names;
    for (const auto& row : rows_of(result, 6))
      if (names.empty() || names.back() != row[1]) names.push_back(row[1]);
    return names;
  }
};

// A whole small contest entered through the real operations on the worker, as the main page
// enters it, then ranked: every rank, score and name of both results.
TEST(RankingsOfAContest, IndividualAndTeamRankings) {
  TempHome home;
  install_desktop_hooks();
  store_fixture::Commands commands = {
      {"create_contest", "Example"},
      {"save_division", join_fields({"none", "Junior", "3"})},
      {"save_team", join_fields({"none", "1000", "Team", "Alpha", "Coach A"})},
      {"save_team", join_fields({"none", "1000", "Team", "Beta", ""})},
      {"save_team", join_fields({"none", "1000", "Team", "Gamma", ""})},
      {"save_team", join_fields({"none", "1000", "Group", "Solo", ""})},
      {"save_class_type", join_fields({"none", "Cattle"})},
      {"save_class_type", join_fields({"none", "Swine"})},
      {"save_class", join_fields({"none", "1", "Heifers", "1234", "253"})},
      {"save_class", join_fields({"none", "2", "Gilts", "1234", "213"})},
  };
  const struct {
    const char* team;
    const char* name;
    const char* number;
    const char* heifers;  // against 1234, cuts 253
    const char* reasons;
    const char* gilts;    // against 1234, cuts 213
  } entries[] = {
      {"1010", "Ann", "1011", "1234", "45", "1234"},  // 50 + 45, 50
      {"1010", "Ben", "1012", "2134", "47", "1243"},  // 48 + 47, 47
      {"1010", "Cal", "1013", "1234", "40", "2134"},  // 50 + 40, 48
      {"1010", "Dee", "1014", "4321", "30", "1234"},  // 15 + 30, 50
      {"1020", "Eve", "1021", "1324", "45", "1234"},  // 45 + 45, 50
      {"1020", "Fay", "1022", "1243", "48", "1342"},  // 47 + 48, 45
      {"1020", "Gus", "1023", "1324", "35", "3124"},  // 45 + 35, 46
      {"1030", "Hal", "1031", "1234", "50", "1234"},  // 50 + 50, 50
      {"1030", "Ivy", "1032", "1234", "49", "1234"},  // 50 + 49, 50
      {"1040", "Jo", "1041", "1234", "", "1234"},     // 50, 50
  };
  for (const auto& e : entries) commands.push_back({"call_save_contestant", join_fields({"none", e.team, e.name})});
  for (const auto& e : entries) {
    commands.push_back({"save_placing", join_fields({"none", "1", e.number, e.heifers, e.reasons})});
    commands.push_back({"save_placing", join_fields({"none", "2", e.number, e.gilts, ""})});
  }
  commands.push_back({"fetch_indiv_rankings", ""});
  commands.push_back({"fetch_team_rankings", ""});

  const std::vector<std::string> results = store_fixture::run_on_worker(commands);
  ASSERT_EQ(results.size(), commands.size());
  for (std::size_t i = 0; i + 2 < results.size(); ++i) ASSERT_EQ(results[i], "") << commands[i].first;

  expect_ranking(rows_of(results[results.size() - 2], 6),
                 ranking_rows("Junior", {{"Cattle", "1/100/Hal/Gamma, 2/99/Ivy/Gamma, 3/95/Fay/Beta, 4/95/Ben/Alpha, "
                                                    "5/95/Ann/Alpha, 6/90/Eve/Beta, 7/90/Cal/Alpha, 8/80/Gus/Beta, "
                                                    "9/50/Jo/Solo, 10/45/Dee/Alpha"},
                                         {"Swine", "1/50/Ann/Alpha, 1/50/Dee/Alpha, 1/50/Eve/Beta, 1/50/Hal/Gamma, "
                                                   "1/50/Ivy/Gamma, 1/50/Jo/Solo, 7/48/Cal/Alpha, 8/47/Ben/Alpha, "
                                                   "9/46/Gus/Beta, 10/45/Fay/Beta"},
                                         {"Reasons", "1/50/Hal/Gamma, 2/49/Ivy/Gamma, 3/48/Fay/Beta, 4/47/Ben/Alpha, "
                                                     "5/45/Eve/Beta, 6/45/Ann/Alpha, 7/40/Cal/Alpha, 8/35/Gus/Beta, "
                                                     "9/30/Dee/Alpha, 10//Jo/Solo"},
                                         {"Overall", "1/150/Hal/Gamma, 2/149/Ivy/Gamma, 3/145/Ann/Alpha, 4/142/Ben/Alpha, "
                                                     "5/140/Fay/Beta, 6/140/Eve/Beta, 7/138/Cal/Alpha, 8/126/Gus/Beta, "
                                                     "9/100/Jo/Solo, 10/95/Dee/Alpha"}}));

  const std::string teams = results.back();
  expect_ranking(rows_of(teams, 6), ranking_rows("Junior", {{"Cattle", "1/280/Alpha/Coach A, 2/265/Beta/"},
                                                            {"Swine", "1/148/Alpha/Coach A, 2/141/Beta/"},
                                                            {"Reasons", "1/132/Alpha/Coach A, 2/128/Beta/"},
                                                            {"Overall", "1/425/Alpha/Coach A, 2/406/Beta/"}}));
  const std::string begins = "Junior" + S + "Cattle" + S + "1" + S + "280" + S + "Alpha" + S + "Coach A" + S +
                             "Junior" + S + "Cattle" + S + "2" + S + "265" + S + "Beta" + S + S + "Junior" + S +
                             "Swine" + S + "1" + S + "148" + S + "Alpha" + S + "Coach A";
  const std::string ends = "Junior" + S + "Overall" + S + "2" + S + "406" + S + "Beta" + S;
  EXPECT_EQ(teams.substr(0, begins.size()), begins);
  ASSERT_GE(teams.size(), ends.size());
  EXPECT_EQ(teams.substr(teams.size() - ends.size()), ends);
}

TEST_F(RankingsTest, IndividualScoresRowsAndOrder) {
  add_team("Group", "Solo", {"Bob", "ann"});
  exec("INSERT INTO classes (type_id, name, timestamp) VALUES (1, 'Steers', '2024-05-01 09:00:00')");
  add_placing(2, 1012, 1234, "45");  // ann, Gilts
  add_placing(1, 1012, 2143);        // ann, Heifers
  add_placing(1, 1011, 0);           // Bob, Heifers: no placing handed in
  add_placing(3, 1011, 2134, "30");  // Bob, Steers: no official placing yet

  // Byte order puts Bob before ann; one contestant's rows come by class id.
  EXPECT_EQ(fetch_indiv_scores(""), "Bob" + S + "1011" + S + "Heifers" + S + "1" + S + "0" + S + "0" + S + S + "0" +
                                        S + "Bob" + S + "1011" + S + "Steers" + S + "3" + S + "2134" + S + S + "30" +
                                        S + S + "ann" + S + "1012" + S + "Heifers" + S + "1" + S + "2143" + S + "45" +
                                        S + S + "45" + S + "ann" + S + "1012" + S + "Gilts" + S + "2" + S + "1234" +
                                        S + "50" + S + "45" + S + "95");

  // The pass runs first: a placing changed since shows its new scores.
  exec("UPDATE placings SET placing = 1234, timestamp = datetime('now', 'localtime') WHERE class_id = 1 AND contestant_no = 1011");
  EXPECT_EQ(rows_of(fetch_indiv_scores(""), 8)[0], (std::vector<std::string>{"Bob", "1011", "Heifers", "1", "1234", "50", "", "50"}));
}

TEST_F(RankingsTest, ClassTypeRankingsNeedTwoClassTypesAndSkipNone) {
  const int solo = add_team("Group", "Solo", {"Ann"});
  add_placing(1, solo + 1, 1234, "40");
  EXPECT_EQ(rankings_in(fetch_indiv_rankings("")), (std::vector<std::string>{"Cattle", "Reasons", "Overall"}))
      << "Swine has no placings, so no rows";

  exec("DELETE FROM placings; DELETE FROM classes WHERE id = 2; DELETE FROM class_types WHERE id = 2;");
  add_placing(1, solo + 1, 1234, "40");
  EXPECT_EQ(rankings_in(fetch_indiv_rankings("")), (std::vector<std::string>{"Reasons", "Overall"}));

  exec("UPDATE class_types SET name = 'None' WHERE id = 1; INSERT INTO class_types (id, name) VALUES (2, 'none');"
       "INSERT INTO classes (id, type_id, name, placing, cuts, timestamp) VALUES (2, 2, 'Gilts', 1234, 253, '2024-05-01 09:00:00');");
  add_placing(2, solo + 1, 1234);
  EXPECT_EQ(rankings_in(fetch_indiv_rankings("")), (std::vector<std::string>{"none", "Reasons", "Overall"}));
}

TEST_F(RankingsTest, TiesShareARankAndComeByNameThenNumber) {
  // Numbers run against name order: Zed 1011, Amy 1012, Max 1013, Bea 1014.
  add_team("Group", "Solo", {"Zed", "Amy", "Max", "Bea"});
  add_placing(1, 1011, 1234, "40");
  add_placing(1, 1012, 1234, "40");
  add_placing(1, 1013, 2134, "40");
  add_placing(1, 1014, 1234, "40");
  // An unscorable class: totals stay empty, and the contestant ranks last everywhere.
  exec("UPDATE classes SET cuts = NULL WHERE id = 2");
  add_team("Group", "Late", {"Kim"});
  add_placing(2, 1021, 1234);

  const Rows rows = rows_of(fetch_indiv_rankings(""), 6);
  Rows overall;
  for (const auto& row : rows)
    if (row[1] == "Overall") overall.push_back({row[2], row[3], row[4]});
  EXPECT_EQ(overall, (Rows{{"1", "90", "Amy"}, {"1", "90", "Bea"}, {"1", "90", "Zed"}, {"4", "88", "Max"}, {"5", "", "Kim"}}));
}

TEST_F(RankingsTest, ReasonsRankingPutsMissingScoresLastAndBreaksTiesOnLowerPlacings) {
  add_team("Group", "Solo", {"Ann", "Ben", "Cal"});
  add_placing(1, 1011, 1234, "45");  // placing 50
  add_placing(1, 1012, 2134, "45");  // placing 48: ranks first
  add_placing(1, 1013, 1234);
  // Only placings that carry a reasons score count towards the tie-break.
  add_placing(2, 1012, 1234);
  Rows reasons;
  for (const auto& row : rows_of(fetch_indiv_rankings(""), 6))
    if (row[1] == "Reasons") reasons.push_back({row[2], row[3], row[4]});
  EXPECT_EQ(reasons, (Rows{{"1", "45", "Ben"}, {"2", "45", "Ann"}, {"3", "", "Cal"}}));
}

TEST_F(RankingsTest, TeamsCountTheirBestTeamSizeContestantsInEachRanking) {
  exec("UPDATE divisions SET team_size = 2");
  add_team("Team", "Full", {"Ann", "Ben", "Cal"});  // 1011..1013
  add_team("Team", "Short", {"Dee", "Eve"});        // 1021, 1022
  add_team("Group", "Solo", {"Fay", "Gus"});        // 1031, 1032
  for (int who : {1011, 1012, 1013, 1031, 1032}) add_placing(1, who, 1234);
  add_placing(2, 1021, 1234);
  add_placing(2, 1022, 1234);
  add_placing(2, 1011, 4321);
  rescore_placings();

  // Full is complete in Cattle (no reasons at all: an empty reasons score), Reasons and
  // Overall; Short only in Swine; Full has one contestant in Swine and no row there.
  EXPECT_EQ(rows_of(fetch_team_rankings(""), 6),
            (Rows{{"Junior", "Cattle", "1", "100", "Full", ""},
                  {"Junior", "Swine", "1", "100", "Short", ""},
                  {"Junior", "Reasons", "1", "", "Full", ""},
                  {"Junior", "Reasons", "1", "", "Short", ""},
                  {"Junior", "Overall", "1", "115", "Full", ""},
                  {"Junior", "Overall", "2", "100", "Short", ""}}));

  exec("UPDATE divisions SET team_size = 0");
  EXPECT_EQ(fetch_team_rankings(""), "");
}

TEST_F(RankingsTest, TeamTiesBreakOnReasonsAndOnLowerPlacings) {
  exec("UPDATE divisions SET team_size = 1");
  add_team("Team", "A", {"Ann"});  // 1011: 50 + 45
  add_team("Team", "B", {"Ben"});  // 1021: 48 + 45
  add_team("Team", "C", {"Cal"});  // 1031: 48 + 47
  add_placing(1, 1011, 1234, "45");
  add_placing(1, 1021, 2134, "45");
  add_placing(1, 1031, 2134, "47");
  add_placing(2, 1021, 1234);  // no reasons score: not part of B's reasons tie-break
  rescore_placings();
  Rows ranks;
  for (const auto& row : rows_of(fetch_team_rankings(""), 6)) ranks.push_back({row[1], row[2], row[3], row[4]});
  // Equal totals go to the higher reasons score; equal reasons to the lower placing score.
  EXPECT_EQ(ranks, (Rows{{"Cattle", "1", "95", "C"}, {"Cattle", "2", "95", "A"}, {"Cattle", "3", "93", "B"},
                         {"Swine", "1", "50", "B"},
                         {"Reasons", "1", "47", "C"}, {"Reasons", "2", "45", "B"}, {"Reasons", "3", "45", "A"},
                         {"Overall", "1", "143", "B"}, {"Overall", "2", "95", "C"}, {"Overall", "3", "95", "A"}}));
}

TEST_F(RankingsTest, TeamRankingsReadTheScoresTheLastPassLeft) {
  add_team("Team", "Full", {"Ann", "Ben", "Cal"});
  for (int who : {1011, 1012, 1013}) add_placing(1, who, 1234);
  // Nothing scored yet: the team is ranked with empty scores.
  EXPECT_EQ(fetch_team_rankings(""), "Junior" + S + "Cattle" + S + "1" + S + S + "Full" + S + S +
                                         "Junior" + S + "Reasons" + S + "1" + S + S + "Full" + S + S +
                                         "Junior" + S + "Overall" + S + "1" + S + S + "Full" + S);
  fetch_indiv_rankings("");
  EXPECT_EQ(rows_of(fetch_team_rankings(""), 6).back()[3], "150");
  exec("UPDATE placings SET placing = 4321, timestamp = datetime('now', 'localtime') WHERE contestant_no = 1011");
  EXPECT_EQ(rows_of(fetch_team_rankings(""), 6).back()[3], "150");
  fetch_indiv_scores("");
  EXPECT_EQ(rows_of(fetch_team_rankings(""), 6).back()[3], "115");
}

TEST_F(RankingsTest, ClassTypeWithIdOf998KeepsItsRowsTogether) {
  add_team("Group", "Solo", {"Ann", "Ben"});
  exec("INSERT INTO class_types (id, name) VALUES (998, 'Sheep');"
       "INSERT INTO classes (id, type_id, name, placing, cuts, timestamp) VALUES (3, 998, 'Ewes', 1234, 253, '2024-05-01 09:00:00');");
  add_placing(1, 1011, 1234, "40");
  add_placing(3, 1011, 1234, "40");
  add_placing(3, 1012, 2134, "45");
  EXPECT_EQ(rankings_in(fetch_indiv_rankings("")), (std::vector<std::string>{"Cattle", "Sheep", "Reasons", "Overall"}));
}
}  // namespace
