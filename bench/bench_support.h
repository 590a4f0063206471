// What every benchmark program shares: a clock and the median of rounds.
#pragma once

#include <vector>

namespace bench {

// Seconds on the performance counter.
double Now();
// The median of a round's figures: one slow round on a busy machine doesn't
// move it.
double Median(std::vector<double> values);

}  // namespace bench
