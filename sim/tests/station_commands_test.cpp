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

DecodedCommand Read(Stage stage, const VendorCommand& v) {
  uint8_t raw[16];
  std::memcpy(raw, v.cdb.data(), 16);
  return DecodeCommand(stage, static_cast<uint8_t>(v.direction), v.dataLength, raw);
}

TEST(StationCommands, EveryBuilderDecodesAsItsCommand) {
  struct Row {
    Stage stage;
    VendorCommand command;
    CommandKind kind;
  };
  const Row rows[] = {
      {Stage::kDownload, CheckAliveCommand(), CommandKind::kCheckAlive},
      {Stage::kSecond, SelectModeCommand(), CommandKind::kSelectMode},
      {Stage::kDownload, FinishImagesCommand(true), CommandKind::kFinishImages},
      {Stage::kDownload, FinishImagesCommand(false), CommandKind::kFinishImages},
      {Stage::kDownload, RestartHandsetCommand(true), CommandKind::kRestartHandset},
      {Stage::kDownload, RestartHandsetCommand(false), CommandKind::kRestartHandset},
      {Stage::kStorage, StartCompletionCommand(), CommandKind::kStartCompletion},
      {Stage::kStorage, PollCompletionCommand(), CommandKind::kPollCompletion},
      {Stage::kStorage, FinishFileSetsCommand(), CommandKind::kFinishFileSets},
      {Stage::kDownload, QueryStateCommand(), CommandKind::kQueryState},
      {Stage::kStorage, QueryStateCommand(), CommandKind::kQueryState},
      {Stage::kDownload, AbortImageCommand(), CommandKind::kAbortImage},
      {Stage::kDownload, OpenDownloadCommand(), CommandKind::kOpenDownload},
  };
  for (const Row& r : rows) {
    DecodedCommand d = Read(r.stage, r.command);
    EXPECT_EQ(d.kind, r.kind) << CommandName(r.kind);
    EXPECT_TRUE(d.ok()) << CommandName(r.kind) << ": " << d.error;
  }
  for (uint8_t mode = 1; mode <= 5; ++mode) {
    DecodedCommand prepare = Read(Stage::kStorage, PrepareStorageCommand(mode));
    EXPECT_EQ(prepare.kind, CommandKind::kPrepareStorage);
    EXPECT_TRUE(prepare.ok()) << prepare.error;
    EXPECT_EQ(prepare.code, mode);
    DecodedCommand poll = Read(Stage::kStorage, PollStorageCommand(mode));
    EXPECT_EQ(poll.kind, CommandKind::kPollStorage);
    EXPECT_TRUE(poll.ok()) << poll.error;
    EXPECT_EQ(poll.code, mode);
  }
  EXPECT_EQ(Read(Stage::kDownload, FinishImagesCommand(true)).flag, 1);
  EXPECT_EQ(Read(Stage::kDownload, RestartHandsetCommand(true)).flag, 1);

  DecodedCommand begin = Read(Stage::kDownload, BeginImageCommand(7, 0x01020304));
  EXPECT_TRUE(begin.ok());
  EXPECT_EQ(begin.kind, CommandKind::kBeginImage);
  EXPECT_EQ(begin.code, 7);
  EXPECT_EQ(begin.value, 0x01020304u);
  DecodedCommand end = Read(Stage::kDownload, EndImageCommand(7, 0x01020304));
  EXPECT_TRUE(end.ok());
  EXPECT_EQ(end.kind, CommandKind::kEndImage);
  EXPECT_EQ(end.value, 0x01020304u);

  DecodedCommand block = Read(Stage::kDownload, WriteImageBlockCommand(0xFE00, 0xBEEF, false));
  EXPECT_TRUE(block.ok()) << block.error;
  EXPECT_EQ(block.length, 0xFE00);
  EXPECT_EQ(block.blockCheck, 0xBEEF);
  EXPECT_EQ(block.flag, 0);
  DecodedCommand fileBlock = Read(Stage::kStorage, WriteFileBlockCommand(100, 0x1234, true, 9));
  EXPECT_TRUE(fileBlock.ok()) << fileBlock.error;
  EXPECT_EQ(fileBlock.sequence, 9);
  EXPECT_EQ(fileBlock.flag, 1);

  DecodedCommand commit = Read(Stage::kDownload, CommitSegmentCommand(5, 0x1080000, 2, true));
  EXPECT_TRUE(commit.ok());
  EXPECT_EQ(commit.value, 0x1080000u);
  EXPECT_EQ(commit.number, 2);
  EXPECT_EQ(commit.flag, 1);
  DecodedCommand check = Read(Stage::kDownload, SendSegmentCheckCommand(5, 0x869031C3));
  EXPECT_TRUE(check.ok());
  EXPECT_EQ(check.value, 0x869031C3u);

  DecodedCommand folder = Read(Stage::kStorage, CreateFolderCommand(9));
  EXPECT_EQ(folder.kind, CommandKind::kCreateFolder);
  EXPECT_TRUE(folder.ok());
  DecodedCommand file = Read(Stage::kStorage, BeginFileCommand(20));
  EXPECT_EQ(file.kind, CommandKind::kBeginFile);
  EXPECT_TRUE(file.ok());
  DecodedCommand endFile = Read(Stage::kStorage, EndFileCommand(65025, 0xCAFEBABE));
  EXPECT_EQ(endFile.kind, CommandKind::kEndFile);
  EXPECT_EQ(endFile.value, 65025u);
  EXPECT_EQ(endFile.fileCheck, 0xCAFEBABEu);
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
