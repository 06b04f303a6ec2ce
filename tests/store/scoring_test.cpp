#include <gtest/gtest.h>

#include <climits>

#include "store/scoring.h"

namespace {
struct Case {
  int placing;
  int official;
  int cuts;
  int score;
};

void expect_scores(const std::initializer_list<Case>& cases) {
  for (const Case& c : cases)
    EXPECT_EQ(placing_score(c.placing, c.official, c.cuts), c.score)
        << "placing " << c.placing << " against " << c.official << " with cuts " << c.cuts;
}
}  // namespace

TEST(PlacingScore, CostsTheCutsBetweenEveryPairPlacedInReverse) {
  expect_scores({
      {1234, 1234, 253, 50}, {2134, 1234, 253, 48}, {1243, 1234, 253, 47},
      {1324, 1234, 253, 45}, {2143, 1234, 253, 45}, {2413, 1234, 253, 35},
      {1432, 1234, 253, 34}, {3142, 1234, 253, 30}, {3412, 1234, 253, 20},
      {4321, 1234, 253, 15},
      // The cuts lie between official places, not between item numbers.
      {3124, 2314, 372, 37},
      // Never below 0.
      {4321, 1234, 555, 0}, {4321, 1234, 186, 0}, {4321, 1234, 111, 40},
  });
}

TEST(PlacingScore, MalformedInputsScoreByTheSameRule) {
  expect_scores({
      // No placing handed in.
      {0, 1234, 253, 0}, {0, 0, 0, 0}, {0, 1234, -253, 0},
      // Equal to the official placing, whatever the cuts; cuts of 0 cost nothing.
      {3142, 3142, 999, 50}, {4321, 1234, 0, 50},
      // Extra leading digits of the cuts go into the top cut.
      {2134, 1234, 1253, 38},
      // Repeated digits: a pair is found at most once.
      {1111, 1234, 253, 50}, {2211, 1234, 253, 48},
      // Digits that are not in the official placing match nothing.
      {5678, 1234, 253, 50},
      // Three digits read as 0,2,3,4; five as 12,3,4,5.
      {234, 1234, 253, 50}, {12345, 1234, 253, 50},
      // An official placing of 0: every official position is 0.
      {4321, 0, 253, 50},
      // Negative placings give negative positions; negative cuts raise the score.
      {-1234, 1234, 253, 50}, {2134, 1234, -253, 52}, {4321, 1234, -253, 85},
  });
}

TEST(PlacingScore, ExtremeValuesNeitherOverflowNorGoNegative) {
  EXPECT_EQ(placing_score(4321, 1234, INT_MAX), 0);
  // Cuts of INT_MIN give a top cut of -21474836; the fully reversed placing gains 3 of them
  // plus the middle and bottom cuts (-4, -8): 50 + 64424508 + 16 + 24.
  EXPECT_EQ(placing_score(4321, 1234, INT_MIN), 50 + 3 * 21474836 + 4 * 4 + 3 * 8);
  EXPECT_EQ(placing_score(INT_MIN, 1234, 253), 50);
  EXPECT_EQ(placing_score(1234, INT_MIN, 253), 50);
}
