#include "store/scoring.h"

namespace {
// Position pairs (p, q) with p before q. Read as pairs of official places they also give
// the order in which the official pairs are checked.
constexpr int PAIRS[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};

// C++ division truncates toward zero with the remainder taking the dividend's sign, so a
// negative placing gives negative positions and the leading position keeps any extra digits.
struct Positions {
  int at[4];
};

Positions positions_of(int placing) {
  return {{placing / 1000, (placing / 100) % 10, (placing / 10) % 10, placing % 10}};
}
}  // namespace

int placing_score(int contestant_placing, int official_placing, int cuts) {
  if (contestant_placing == 0) return 0;
  const Positions mine = positions_of(contestant_placing);
  const Positions official = positions_of(official_placing);
  // cut[k] lies between official places k and k + 1; the top cut keeps any extra digits.
  const int cut[3] = {cuts / 100, (cuts / 10) % 10, cuts % 10};

  int score = 50;
  for (const auto& places : PAIRS) {
    const int earlier = official.at[places[0]];
    const int later = official.at[places[1]];
    for (const auto& at : PAIRS) {
      if (mine.at[at[0]] == later && mine.at[at[1]] == earlier) {
        for (int k = places[0]; k < places[1]; ++k) score -= cut[k];
        break;  // each official pair costs once, however many positions match it
      }
    }
  }
  return score > 0 ? score : 0;
}
