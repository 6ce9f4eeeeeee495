#include "engine/job_plan.h"

#include <gtest/gtest.h>

namespace flashery {
namespace {

JobInputs AllPresent() {
  JobInputs in;
  in.mloPresent = in.blPresent = in.nkPresent = in.systemPresent = true;
  in.userdataPresent = in.cachePresent = in.recoveryPresent = in.evnPresent = true;
  in.extendPresent = {true, true, false, true, true};
  return in;
}

std::string Kinds(const std::vector<ImageStep>& steps) {
  static const char* names[] = {"X", "B", "K", "Sp", "Ss", "U", "C", "R", "E", "V"};
  std::string s;
  for (const ImageStep& st : steps) {
    s += names[static_cast<int>(st.kind)];
    if (st.kind == ImageKind::Extend) s += std::to_string(st.extendSlot + 1);
    s += ' ';
  }
  return s;
}

TEST(JobPlan, ImagesFollowTheSelectionAndThePresentSections) {
  JobInputs in = AllPresent();
  EXPECT_EQ(Kinds(PlanImages(in)), "");
  in.bootloaderSelected = true;
  EXPECT_EQ(Kinds(PlanImages(in)), "X B ");
  in.kernelSelected = in.systemSelected = true;
  EXPECT_EQ(Kinds(PlanImages(in)), "X B K Ss U C R E1 E2 E4 E5 V ");
  in.productName = "QUILLON_T745_V2";
  EXPECT_EQ(Kinds(PlanImages(in)), "X B K Sp U C R E1 E2 E4 E5 V ");
  in.mloPresent = in.systemPresent = in.evnPresent = false;
  in.extendPresent = {};
  EXPECT_EQ(Kinds(PlanImages(in)), "B K U C R ");
  EXPECT_EQ(RepeatKind(ImageKind::SystemSegmented), ImageKind::SystemPlain);
  EXPECT_EQ(RepeatKind(ImageKind::Cache), ImageKind::Cache);
}

TEST(JobPlan, GatesOfTheSequences) {
  struct Row {
    bool fileSet, system, cmd;
    const char* product;
    bool ok;
    bool wanted, t745;
    uint8_t flag;
    bool restart, goesOn, probe;
  } rows[] = {
      // images only
      {false, true, false, "P1", true, false, false, 0, false, false, false},
      // file sets, after success and after a failure
      {true, false, false, "P1", true, true, false, 1, true, true, true},
      {true, false, false, "P1", false, true, false, 1, false, true, true},
      // T745 with the system image, without file sets
      {false, true, false, "xT745", true, false, true, 1, true, true, true},
      {false, true, false, "xT745", false, false, true, 1, false, true, false},
      // T745 package without the system image: not the T745 sequence; lower case does not count
      {false, false, false, "T745", true, false, false, 0, false, false, false},
      {false, true, false, "t745", true, false, false, 0, false, false, false},
      // unattended: no file sets, the restart runs whatever ok is
      {true, true, true, "P1", false, false, false, 0, true, false, false},
      {true, true, true, "T745", true, false, true, 1, true, true, true},
  };
  for (const Row& r : rows) {
    JobInputs in;
    in.gpsSelected = r.fileSet;
    in.systemSelected = r.system;
    in.commandLineMode = r.cmd;
    in.productName = r.product;
    SCOPED_TRACE(std::string(r.product) + (r.fileSet ? " sets" : "") + (r.cmd ? " cmd" : "") +
                 (r.ok ? " ok" : " failed"));
    EXPECT_EQ(FileSetsWanted(in), r.wanted);
    EXPECT_EQ(IsT745(in), r.t745);
    EXPECT_EQ(FinishImagesFlag(in), r.flag);
    EXPECT_EQ(RestartGate(in, r.ok), r.restart);
    EXPECT_EQ(ContinuesAfterRestart(in), r.goesOn);
    EXPECT_EQ(ProbeGate(in, r.ok), r.probe);
  }
}

}  // namespace
}  // namespace flashery
