// The station's own command builders, read back by the handset's decoder:
// two independent readings of the command table must agree.
#include <gtest/gtest.h>

#include <cstring>

#include "device/sim_wire.h"
#include "device/vendor_command.h"
#include "sim/handset_server.h"
#include "sim/vendor_command.h"

namespace flashery::sim {
namespace {

TEST(StationCommands, EveryBuilderDecodesAsItsCommandWithItsFields) {
  struct Row {
    Stage stage;
    VendorCommand command;
    CommandKind kind;
    uint8_t code = 0, flag = 0, number = 0;
    uint32_t value = 0, fileCheck = 0;
    uint16_t length = 0, blockCheck = 0, sequence = 0;
  };
  using K = CommandKind;
  const Stage D = Stage::kDownload, S = Stage::kStorage;
  std::vector<Row> rows = {
      {D, CheckAliveCommand(), K::kCheckAlive},
      {Stage::kSecond, SelectModeCommand(), K::kSelectMode, 0, 3},
      {D, FinishImagesCommand(true), K::kFinishImages, 0, 1},
      {D, FinishImagesCommand(false), K::kFinishImages},
      {D, RestartHandsetCommand(true), K::kRestartHandset, 0, 1},
      {D, RestartHandsetCommand(false), K::kRestartHandset},
      {S, StartCompletionCommand(), K::kStartCompletion},
      {S, PollCompletionCommand(), K::kPollCompletion},
      {S, FinishFileSetsCommand(), K::kFinishFileSets},
      {D, QueryStateCommand(), K::kQueryState},
      {S, QueryStateCommand(), K::kQueryState},
      {D, AbortImageCommand(), K::kAbortImage},
      {D, OpenDownloadCommand(), K::kOpenDownload},
      {D, BeginImageCommand(7, 0x01020304), K::kBeginImage, 7, 0, 0, 0x01020304},
      {D, EndImageCommand(7, 0x01020304), K::kEndImage, 7, 0, 0, 0x01020304},
      {D, WriteImageBlockCommand(0xFE00, 0xBEEF, false), K::kWriteBlock, 0, 0, 0, 0, 0, 0xFE00, 0xBEEF},
      {S, WriteFileBlockCommand(100, 0x1234, true, 9), K::kWriteBlock, 0, 1, 0, 0, 0, 100, 0x1234, 9},
      {D, CommitSegmentCommand(5, 0x1080000, 2, true), K::kCommitSegment, 5, 1, 2, 0x1080000},
      {D, SendSegmentCheckCommand(5, 0x869031C3), K::kSendSegmentCheck, 5, 0, 0, 0x869031C3},
      {S, CreateFolderCommand(9), K::kCreateFolder, 0, 0, 0, 0, 0, 9},
      {S, BeginFileCommand(20), K::kBeginFile, 0, 0, 0, 0, 0, 20},
      {S, EndFileCommand(65025, 0xCAFEBABE), K::kEndFile, 0, 0, 0, 65025, 0xCAFEBABE},
  };
  for (uint8_t mode = 1; mode <= 5; ++mode) {
    rows.push_back({S, PrepareStorageCommand(mode), K::kPrepareStorage, mode});
    rows.push_back({S, PollStorageCommand(mode), K::kPollStorage, mode});
  }
  for (const Row& r : rows) {
    uint8_t raw[16];
    std::memcpy(raw, r.command.cdb.data(), 16);
    DecodedCommand d =
        DecodeCommand(r.stage, static_cast<uint8_t>(r.command.direction), r.command.dataLength, raw);
    SCOPED_TRACE(CommandName(r.kind));
    EXPECT_EQ(d.kind, r.kind);
    EXPECT_TRUE(d.ok()) << d.error;
    EXPECT_EQ(d.code, r.code);
    EXPECT_EQ(d.flag, r.flag);
    EXPECT_EQ(d.number, r.number);
    EXPECT_EQ(d.value, r.value);
    EXPECT_EQ(d.fileCheck, r.fileCheck);
    EXPECT_EQ(d.length, r.length);
    EXPECT_EQ(d.blockCheck, r.blockCheck);
    EXPECT_EQ(d.sequence, r.sequence);
  }
}

TEST(StationCommands, LateAnswersAreLateForTheStationAtAnyScale) {
  for (double scale : {0.001, 0.01, 0.1, 1.0, 3.0}) {
    uint32_t delay = LateAnswerDelayMs(8000 + 2000 + 500, 8000, scale);
    EXPECT_GT(delay * scale, SimRealTimeoutMs(8000, scale)) << scale;
  }
  EXPECT_EQ(LateAnswerDelayMs(100000, 8000, 1.0), 100000u);
}

}  // namespace
}  // namespace flashery::sim
