#include "app/shift_counts.h"

#include <gtest/gtest.h>

namespace flashery {
namespace {

TEST(ShiftCounts, CountsDecidedUnitsPerPortAndInTotal) {
  using R = JobResult;
  struct End {
    int port;
    R result;
  } ends[] = {{0, R::Ok}, {0, R::Ok}, {0, R::Failed}, {3, R::Ok}, {3, R::Stopped}, {9, R::Ok}, {-1, R::Failed}};
  ShiftCounter counter;
  int changes = 0;
  counter.onChanged = [&] { ++changes; };
  for (const End& e : ends) {
    JobEnd end;
    end.port = e.port;
    end.result = e.result;
    counter.OnJobEnded(end);
  }
  ShiftCounts c = counter.counts();
  EXPECT_EQ(c.ports[0], (Tally{2, 1}));
  EXPECT_EQ(c.ports[3], (Tally{1, 0}));  // a stop decides nothing
  EXPECT_EQ(c.total, (Tally{3, 1}));     // ports outside 1-8 are not counted
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(TallyText(c.total), "3 / 1 (75.0%)");
  EXPECT_EQ(TallyText(c.ports[5]), "0 / 0 (-)");
  EXPECT_EQ(YieldText(Tally{2, 1}), "66.7%");
  counter.Reset();
  EXPECT_EQ(counter.counts(), ShiftCounts{});
}

}  // namespace
}  // namespace flashery
