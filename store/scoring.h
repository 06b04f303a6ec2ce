#pragma once
// Scores of placings: the score of one placing, and the pass that keeps the stored scores
// in step with the placings and classes they come from.
#include <string>

// Scores a contestant's placing against the official placing and cuts: 50, less the cuts
// between every pair of items placed in the opposite order, never below 0. A placing of 0
// scores 0. Inputs are not checked; malformed placings simply match fewer pairs.
int placing_score(int contestant_placing, int official_placing, int cuts);

// True when a class or placing was saved at or after scored_at (equal stamps count as
// changed: stamps have whole seconds), or when a placing of a scorable class has no score.
bool scores_out_of_date(std::string scored_at);

// Brings placing_score and total_score up to date for every placing of a class that has an
// official placing and cuts. Does nothing when nothing changed since the last pass. Raises
// on failure after rolling back, leaving contest.scored_at where it was.
void rescore_placings();

// Makes every later save of a class or placing on the open connection that is stamped
// before contest.scored_at (the clock was set back) lower scored_at to its stamp, so no pass
// can pass over it. Run once each time a contest is opened; the file is not changed.
void keep_scored_at_behind_saves();
