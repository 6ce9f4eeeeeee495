#include "engine/gone_watch.h"

#include <gtest/gtest.h>

namespace flashery {
namespace {

TEST(GoneWatch, DecidesFromAttachmentRestartsAndStationTime) {
  // One look per row, in order, on one state; limit 10 s.
  struct Look {
    bool attached;
    bool restartAsked;
    uint64_t nowMs;
    GoneVerdict expected;
  };
  using V = GoneVerdict;
  const Look looks[] = {
      {true, false, 0, V::Present},
      {false, false, 1000, V::Absent},   // the absence starts counting
      {false, false, 10999, V::Absent},
      {true, false, 11000, V::Present},  // back in time: the count starts over
      {false, false, 12000, V::Absent},
      {false, true, 30000, V::Absent},   // a restart the job asked for: not counted
      {false, false, 31000, V::Absent},  // the restart is over: counting from here
      {false, false, 40999, V::Absent},
      {false, false, 41000, V::Gone},
      {false, false, 50000, V::Gone},
  };
  GoneState state;
  for (size_t i = 0; i < std::size(looks); ++i) {
    const Look& l = looks[i];
    EXPECT_EQ(DecideGone(state, l.attached, l.restartAsked, l.nowMs, 10000), l.expected) << "look " << i;
  }
  // Limit 0: the rule is off.
  GoneState off;
  EXPECT_EQ(DecideGone(off, false, false, 0, 0), V::Absent);
  EXPECT_EQ(DecideGone(off, false, false, 1000000, 0), V::Absent);
}

}  // namespace
}  // namespace flashery
