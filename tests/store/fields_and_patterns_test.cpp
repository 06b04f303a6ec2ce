#include "store/failures.h"
#include "store/patterns.h"
#include "tests/support/contest_fixture.h"

namespace {
const std::string S(1, FIELD_SEPARATOR);

std::string raised(const std::function<void()>& body) {
  try {
    body();
  } catch (...) {
    return failure_result(std::current_exception());
  }
  return "<nothing raised>";
}
}  // namespace

TEST(SplitFields, FollowsGetlineRules) {
  EXPECT_EQ(split_fields(""), FieldList{});
  EXPECT_EQ(split_fields("a"), FieldList{"a"});
  EXPECT_EQ(split_fields("a" + S), FieldList{"a"});
  EXPECT_EQ(split_fields("a" + S + S), (FieldList{"a", ""}));
  EXPECT_EQ(split_fields(S + "a"), (FieldList{"", "a"}));
  EXPECT_EQ(split_fields("a" + S + S + "b"), (FieldList{"a", "", "b"}));
  EXPECT_EQ(split_fields("x:y" + S + "z"), (FieldList{"x:y", "z"}));
}

TEST(NumberFields, ReadLikeStoi) {
  EXPECT_EQ(read_number("12abc"), 12);
  EXPECT_EQ(read_number("  -3"), -3);
  EXPECT_EQ(raised([] { read_number("abc"); }), INVALID_NUMBER_ERROR);
  EXPECT_EQ(raised([] { read_number(""); }), INVALID_NUMBER_ERROR);
  EXPECT_EQ(raised([] { read_number("2147483648"); }), INVALID_NUMBER_ERROR);
  EXPECT_EQ(read_number("2147483647"), 2147483647);
}

TEST(SaveKeys, OnlyTheExactWordNoneInserts) {
  EXPECT_TRUE(is_new_key("none"));
  EXPECT_FALSE(is_new_key("None"));
  EXPECT_FALSE(is_new_key("NONE"));
  EXPECT_FALSE(is_new_key(" none"));
  EXPECT_FALSE(is_new_key("none "));
}

class Patterns : public ContestTest {
 protected:
  const BoundStatement insert_type{"INSERT INTO class_types (name) VALUES (?);", {{1, FieldKind::Text}}};
  const BoundStatement update_type{"UPDATE class_types SET name = ? WHERE id = ?;",
                                   {{1, FieldKind::Text}, {0, FieldKind::Number}}};
  std::string save_type(const std::string& args) { return run_save(args, 2, insert_type, update_type); }
};

TEST_F(Patterns, SaveInsertsUpdatesAndReportsRefusals) {
  EXPECT_EQ(save_type("none" + S + "Dairy"), "");
  EXPECT_EQ(save_type("none" + S + "Beef"), "");
  EXPECT_EQ(save_type("none" + S + "Dairy"), CONSISTENCY_ERROR);  // unique name
  EXPECT_EQ(save_type("2" + S + "Swine"), "");
  EXPECT_EQ(save_type("99" + S + "Nothing"), "");  // no such row: nothing changes, no error
  EXPECT_EQ(run_fetch("SELECT id, name FROM class_types ORDER BY id;"), "1" + S + "Dairy" + S + "2" + S + "Swine");
}

TEST_F(Patterns, MissingFieldsAndBadKeysRaiseAndChangeNothing) {
  EXPECT_EQ(raised([&] { save_type(""); }), MISSING_FIELD_ERROR);
  EXPECT_EQ(raised([&] { save_type("none"); }), MISSING_FIELD_ERROR);
  EXPECT_EQ(raised([&] { save_type("None" + S + "X"); }), INVALID_NUMBER_ERROR);
  EXPECT_EQ(run_fetch("SELECT COUNT(*) FROM class_types;"), "0");
}

TEST_F(Patterns, OptionalFieldsBindOnlyAtTheFullCount) {
  const BoundStatement insert{"INSERT INTO divisions (name, team_size) VALUES (?, ?);",
                              {{1, FieldKind::Text}, {2, FieldKind::OptionalNumber}}};
  const BoundStatement update{"UPDATE divisions SET name = ?, team_size = ? WHERE number = ?;",
                              {{1, FieldKind::Text}, {2, FieldKind::OptionalNumber}, {0, FieldKind::Number}}};
  EXPECT_EQ(run_save("none" + S + "A" + S + "4", 3, insert, update), "");
  EXPECT_EQ(run_save("none" + S + "B" + S, 3, insert, update), "");
  EXPECT_EQ(run_save("none" + S + "C" + S + "3" + S + "x", 3, insert, update), "");
  EXPECT_EQ(run_fetch("SELECT name, team_size, number FROM divisions ORDER BY id;"),
            "A" + S + "4" + S + "1000" + S + "B" + S + S + "2000" + S + "C" + S + S + "3000");
}

// A bind that SQLite refuses (here to a parameter the statement does not have) fails the
// operation instead of leaving the statement to run without it.
TEST_F(Patterns, ARefusedBindFailsTheOperationAndWritesNothing) {
  const BoundStatement one_mark{"INSERT INTO class_types (name) VALUES (?);",
                                {{1, FieldKind::Text}, {2, FieldKind::Text}}};
  EXPECT_EQ(raised([&] { run_statement(one_mark, split_fields("none" + S + "Dairy" + S + "x"), 3); }),
            DATABASE_PROBLEM_ERROR);
  EXPECT_EQ(run_fetch("SELECT COUNT(*) FROM class_types;"), "0");
}

TEST_F(Patterns, DeleteKeysAndNone) {
  ASSERT_EQ(save_type("none" + S + "Dairy"), "");
  EXPECT_EQ(run_delete("none", "DELETE FROM class_types WHERE id = ?;"), "");
  EXPECT_EQ(run_delete("1abc", "DELETE FROM class_types WHERE id = ?;"), "");
  EXPECT_EQ(run_delete("7", "DELETE FROM class_types WHERE id = ?;"), "");
  EXPECT_EQ(run_fetch("SELECT COUNT(*) FROM class_types;"), "0");
  close_database();
  EXPECT_EQ(run_delete("none", "DELETE FROM class_types WHERE id = ?;"), "");
  EXPECT_EQ(raised([] { run_delete("1", "DELETE FROM class_types WHERE id = ?;"); }), NO_CONTEST_ERROR);
}

TEST_F(Patterns, FetchKeepsColumnCountsAndNeverReturnsAPartialList) {
  EXPECT_EQ(run_fetch("SELECT id, name FROM class_types;"), "");
  EXPECT_EQ(run_fetch("SELECT 1, NULL, 3 UNION ALL SELECT 4, NULL, NULL;"), "1" + S + S + "3" + S + "4" + S + S);
  EXPECT_EQ(run_fetch("SELECT '' UNION ALL SELECT 'x';"), S + "x");
  // The second row fails at run time (integer overflow): no truncated result may pass as whole.
  EXPECT_EQ(run_fetch("SELECT CASE WHEN x = 2 THEN abs(-9223372036854775807 - 1) ELSE x END "
                      "FROM (SELECT 1 AS x UNION ALL SELECT 2 UNION ALL SELECT 3);"),
            DATABASE_PROBLEM_ERROR);
  EXPECT_EQ(raised([] { run_fetch("SELECT nonsense FROM nowhere;"); }), DATABASE_PROBLEM_ERROR);
}
