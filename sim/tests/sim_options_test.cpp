#include "sim/sim_options.h"

#include <gtest/gtest.h>

namespace flashery::sim {
namespace {

ParsedOptions Parse(std::vector<std::string> args) { return ParseSimOptions(args); }

TEST(SimOptions, ValuesTimingsAndFaultsAreRead) {
  auto p = Parse({"--dir", "/tmp/b", "--count=3", "--serial-prefix", "QA", "--model", "T800",
                  "--offbus-ms", "0", "--prepare-ms=250", "--refuse", "EndFile:2", "--refuse=WriteBlock",
                  "--reject-block", "3@image5", "--never-return=2", "--wrong-poll-storage", "--silent",
                  "--faulty", "1,3", "--usb-prefix", "1-1.", "--units=3", "--unit-gap-ms", "50", "--pull-at-block=7"});
  ASSERT_TRUE(p.ok()) << p.error;
  const SimOptions& o = p.options;
  EXPECT_EQ(o.count, 3);
  EXPECT_EQ(o.timings.offBusMs, 0u);
  EXPECT_EQ(o.timings.prepareMs, 250u);
  EXPECT_EQ(o.timings.completeMs, HandsetTimings{}.completeMs);
  ASSERT_EQ(o.faults.refuse.size(), 2u);
  EXPECT_EQ(o.faults.refuse[0].times, 2u);
  EXPECT_EQ(o.faults.rejectBlocks[0].target, "image5");
  EXPECT_EQ(o.faults.neverReturnAfter, 2u);
  EXPECT_EQ(o.faults.pullAtBlock, 7u);
  EXPECT_EQ(o.faults.wrongPollStorage, kAlways);
  EXPECT_EQ(o.faults.wrongPollCompletion, 0u);
  EXPECT_TRUE(o.faults.silent);

  HandsetConfig c1 = HandsetConfigFor(o, 1), c2 = HandsetConfigFor(o, 2);
  EXPECT_EQ(c1.serial, "QA0001");
  EXPECT_EQ(c1.folder, "/tmp/b/QA0001");
  EXPECT_EQ(c1.model, "T800");
  EXPECT_FALSE(c1.faults.empty());
  EXPECT_TRUE(c2.faults.empty());  // not in --faulty
  EXPECT_EQ(o.units, 3);
  EXPECT_EQ(o.unitGapMs, 50u);
  EXPECT_EQ(c2.socketPath, "1-1.2");
  HandsetConfig later = HandsetConfigFor(o, 2, 3);  // socket 2's third unit
  EXPECT_EQ(later.serial, "QA0002-U3");
  EXPECT_EQ(later.folder, "/tmp/b/QA0002-U3");
  EXPECT_EQ(later.socketPath, "1-1.2");
  EXPECT_FALSE(c2.faults.silent);
  EXPECT_EQ(InterfacePath(c1.vendor, c1.model, c1.revision, c1.serial),
            "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t800&rev_0001#QA0001&0#"
            "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}");
}

TEST(SimOptions, UsageErrorsAreNamed) {
  struct Row {
    std::vector<std::string> args;
    const char* expect;
  };
  const Row rows[] = {
      {{}, "--dir is required"},
      {{"--dir"}, "needs a value"},
      {{"--dir", "d", "--count", "0"}, "--count"},
      {{"--dir", "d", "--count", "17"}, "--count"},
      {{"--dir", "d", "--serial-prefix", "a#b"}, "--serial-prefix"},
      {{"--dir", "d", "--model", "t&x"}, "--model"},
      {{"--dir", "d", "--usb-prefix", "1-1/"}, "--usb-prefix"},
      {{"--dir", "d", "--units", "0"}, "--units"},
      {{"--dir", "d", "--units", "1001"}, "--units"},
      {{"--dir", "d", "--offbus-ms", "-5"}, "--offbus-ms"},
      {{"--dir", "d", "--refuse", "Nope"}, "unknown command"},
      {{"--dir", "d", "--refuse", "EndFile:0"}, "bad count"},
      {{"--dir", "d", "--late", "EndFile:2@0"}, "bad occurrence"},
      {{"--dir", "d", "--reject-block", "2@"}, "empty transfer"},
      {{"--dir", "d", "--reject-block", "x:1"}, "bad block fault"},
      {{"--dir", "d", "--never-ready=1"}, "takes no value"},
      {{"--dir", "d", "--never-return=x"}, "bad count"},
      {{"--dir", "d", "--faulty", "2"}, "handset 2 of 1"},
      {{"--dir", "d", "--bogus"}, "unknown option '--bogus'"},
      {{"--dir", "d", "--", "--count=2"}, "unknown option '--count=2'"},
      {{"--dir", "d", "--d", "x"}, "ambiguous option '--d'"},
      {{"--dir", "d", "-x"}, "unknown option '-x'"},
      {{"--dir", "d", "--count"}, "--count needs a value"},
  };
  for (const Row& r : rows) {
    auto p = Parse(r.args);
    EXPECT_FALSE(p.ok());
    EXPECT_NE(p.error.find(r.expect), std::string::npos) << p.error;
  }
  EXPECT_TRUE(Parse({"--help", "--bogus"}).options.help);
  EXPECT_TRUE(Parse({"--dir=d", "-h"}).options.help);
  auto abbreviated = Parse({"--di=d", "--cou", "2", "--never-ret"});
  ASSERT_TRUE(abbreviated.ok()) << abbreviated.error;
  EXPECT_EQ(abbreviated.options.count, 2);
  EXPECT_EQ(abbreviated.options.faults.neverReturnAfter, 1u);
}

}  // namespace
}  // namespace flashery::sim
