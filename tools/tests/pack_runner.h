// flashery-pack run as whoever prepares a release runs it, in a temporary
// folder, with an empty program folder (no language file: texts print as
// "(text N)").
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/tests/process_runner.h"
#include "platform/tests/test_dir.h"

namespace flashery::testing {

class PackTest : public ::testing::Test {
 protected:
  RunOutput Pack(const std::vector<std::string>& args) {
    std::vector<std::string> line = {BinPath("flashery-pack")};
    line.insert(line.end(), args.begin(), args.end());
    MakeDirectories(dir_ / "home");
    return RunCommand(dir_.path(), "FLASHERY_HOME=" + Quote(dir_ / "home"), line);
  }
  // Info-ZIP in `folder`: zip options -r out quillon.
  bool Zip(const std::string& folder, const std::string& options, const std::string& out) {
    return RunCommand(dir_.path(), "cd " + Quote(folder) + " && zip -q -r " + options, {out, "quillon"}).status == 0;
  }
  void Put(const std::string& rel, const std::string& bytes) {
    std::string p = dir_ / rel;
    MakeDirectories(p.substr(0, p.rfind('/')));
    ASSERT_TRUE(WriteWholeFile(p, bytes));
  }

  TempDir dir_;
};

}  // namespace flashery::testing
