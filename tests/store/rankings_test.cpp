#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "scoring_test_support.h"
#include "store/scoring.h"

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

TEST_F(RankingsTest, IndividualScoresOfAnEmptyContestAreEmpty) {
  exec("DELETE FROM classes");
  EXPECT_EQ(fetch_indiv_scores(""), "");
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
