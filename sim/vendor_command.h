// How the simulated handset reads a 16-byte vendor command block.
//
// A block is FF FF, group, sub-command, then twelve parameter bytes
// (little-endian numbers); every parameter byte a command does not use must
// be 0. Some commands share group and sub-command and are told apart the
// way the handset can tell them apart:
//   05 01  QueryState (data from the handset) / CreateFolder (data to it);
//   05 02  BeginImage (no data) / BeginFile (name to the handset);
//   05 03  WriteBlock of an image (download stage) or of a file (storage);
//   05 05  EndImage (download stage) / EndFile (storage stage);
//   03 01  FinishImages (download stage) / PrepareStorage mode 1 (later);
//   03 02  RestartHandset (download stage) / PrepareStorage mode 2 (later);
//   03 m   PollStorage when bytes 8-9 are 2, PrepareStorage when they are 1.
// A command without a data phase must announce length 0; its direction is
// not significant (SelectMode and RestartHandset travel with the data-in
// direction and length 0, like a zero-length transfer on USB). A command
// with data must come with its direction and exactly its length.
//
// Decoding checks the layout only; whether a command is allowed in the
// handset's present state is the model's business.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace flashery::sim {

// Which firmware stage answers: the download stage after power-on, the
// second stage after RestartHandset, the storage stage after SelectMode.
enum class Stage : uint8_t { kDownload, kSecond, kStorage };
const char* StageName(Stage stage);

enum class CommandKind : uint8_t {
  kUnknown,
  kCheckAlive,
  kSelectMode,
  kFinishImages,
  kRestartHandset,
  kPrepareStorage,
  kPollStorage,
  kStartCompletion,
  kPollCompletion,
  kFinishFileSets,
  kQueryState,
  kCreateFolder,
  kBeginImage,
  kBeginFile,
  kWriteBlock,
  kAbortImage,
  kEndImage,
  kEndFile,
  kOpenDownload,
  kSendSegmentCheck,
  kCommitSegment,
};
constexpr int kCommandKindCount = static_cast<int>(CommandKind::kCommitSegment) + 1;

const char* CommandName(CommandKind kind);
// Case-insensitive lookup of a command name ("WriteBlock", "endfile").
std::optional<CommandKind> CommandKindFromName(std::string_view name);

// Wire direction numbers.
constexpr uint8_t kDirNone = 0;
constexpr uint8_t kDirToDevice = 1;
constexpr uint8_t kDirFromDevice = 2;

// Fixed sizes of the handset's side of the command set.
constexpr uint32_t kMaxBlockBytes = 0xFE00;      // 65,024
constexpr uint32_t kQueryStateBytes = 4;
constexpr uint32_t kPollStorageBytes = 0x0400;   // 1,024
constexpr uint32_t kPollCompletionBytes = 0x32;  // 50
constexpr uint32_t kMaxNameBytes = 259;

struct DecodedCommand {
  CommandKind kind = CommandKind::kUnknown;
  std::string error;  // non-empty: the block breaks its command's layout
  uint8_t code = 0;       // image code (byte 8) or storage mode (byte 3)
  uint8_t flag = 0;       // byte 8 flag; CommitSegment: byte 15 (last)
  uint8_t number = 0;     // CommitSegment: segment number (byte 14)
  uint16_t length = 0;    // bytes 4-5: block or name length
  uint16_t blockCheck = 0;  // WriteBlock bytes 6-7
  uint16_t sequence = 0;    // file WriteBlock bytes 12-13
  uint32_t value = 0;  // bytes 10-13 (image size, segment length, check)
                       // or EndFile bytes 8-11 (file size)
  uint32_t fileCheck = 0;  // EndFile bytes 12-15

  bool ok() const { return kind != CommandKind::kUnknown && error.empty(); }
};

DecodedCommand DecodeCommand(Stage stage, uint8_t direction, uint32_t dataLength,
                             const uint8_t (&cdb)[16]);

}  // namespace flashery::sim
