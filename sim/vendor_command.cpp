#include "sim/vendor_command.h"

#include <cstdio>
#include <initializer_list>

#include "platform/paths.h"

namespace flashery::sim {

namespace {

struct KindName {
  CommandKind kind;
  const char* name;
};

constexpr KindName kNames[] = {
    {CommandKind::kUnknown, "Unknown"},
    {CommandKind::kCheckAlive, "CheckAlive"},
    {CommandKind::kSelectMode, "SelectMode"},
    {CommandKind::kFinishImages, "FinishImages"},
    {CommandKind::kRestartHandset, "RestartHandset"},
    {CommandKind::kPrepareStorage, "PrepareStorage"},
    {CommandKind::kPollStorage, "PollStorage"},
    {CommandKind::kStartCompletion, "StartCompletion"},
    {CommandKind::kPollCompletion, "PollCompletion"},
    {CommandKind::kFinishFileSets, "FinishFileSets"},
    {CommandKind::kQueryState, "QueryState"},
    {CommandKind::kCreateFolder, "CreateFolder"},
    {CommandKind::kBeginImage, "BeginImage"},
    {CommandKind::kBeginFile, "BeginFile"},
    {CommandKind::kWriteBlock, "WriteBlock"},
    {CommandKind::kAbortImage, "AbortImage"},
    {CommandKind::kEndImage, "EndImage"},
    {CommandKind::kEndFile, "EndFile"},
    {CommandKind::kOpenDownload, "OpenDownload"},
    {CommandKind::kSendSegmentCheck, "SendSegmentCheck"},
    {CommandKind::kCommitSegment, "CommitSegment"},
};

uint16_t U16(const uint8_t (&c)[16], int at) {
  return static_cast<uint16_t>(c[at] | c[at + 1] << 8);
}

uint32_t U32(const uint8_t (&c)[16], int at) {
  return static_cast<uint32_t>(c[at]) | static_cast<uint32_t>(c[at + 1]) << 8 |
         static_cast<uint32_t>(c[at + 2]) << 16 | static_cast<uint32_t>(c[at + 3]) << 24;
}

std::string Printf(const char* format, unsigned a, unsigned b = 0) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// The parameter bytes (4..15) a command may set; every other one must be 0.
std::string CheckUnused(const uint8_t (&c)[16], std::initializer_list<int> used) {
  for (int i = 4; i < 16; ++i) {
    bool listed = false;
    for (int u : used) listed = listed || u == i;
    if (!listed && c[i] != 0) return Printf("byte %u is 0x%02X, must be 0", i, c[i]);
  }
  return {};
}

std::string CheckNoData(uint32_t dataLength) {
  if (dataLength != 0) return Printf("announces %u data bytes, has no data phase", dataLength);
  return {};
}

std::string CheckDataIn(uint8_t direction, uint32_t dataLength, uint32_t expected) {
  if (direction != kDirFromDevice) return "must read data from the handset";
  if (dataLength != expected)
    return Printf("reads %u bytes, the reply is %u bytes", dataLength, expected);
  return {};
}

std::string CheckDataOut(uint8_t direction, uint32_t dataLength, uint16_t length,
                         uint32_t limit) {
  if (direction != kDirToDevice) return "must send data to the handset";
  if (length == 0) return "length in bytes 4-5 is 0";
  if (length > limit) return Printf("length %u in bytes 4-5 exceeds %u", length, limit);
  if (dataLength != length)
    return Printf("sends %u data bytes, bytes 4-5 say %u", dataLength, length);
  return {};
}

// Joins the first non-empty finding.
void Note(std::string& error, std::string found) {
  if (error.empty()) error = std::move(found);
}

void DecodeGroup3(Stage stage, uint8_t direction, uint32_t dataLength, const uint8_t (&c)[16],
                  DecodedCommand& d) {
  uint8_t sub = c[3];
  uint16_t selector = U16(c, 8);
  if (selector == 2 || (direction == kDirFromDevice && dataLength > 0)) {
    d.kind = CommandKind::kPollStorage;
    d.code = sub;
    Note(d.error, CheckUnused(c, {4, 5, 8, 9}));
    if (U16(c, 4) != kPollStorageBytes) Note(d.error, "bytes 4-5 must be 0x0400");
    if (selector != 2) Note(d.error, "bytes 8-9 must be 2");
    Note(d.error, CheckDataIn(direction, dataLength, kPollStorageBytes));
  } else if (stage == Stage::kDownload && sub == 1) {
    d.kind = CommandKind::kFinishImages;
    d.flag = c[8];
    Note(d.error, CheckUnused(c, {8}));
    if (c[8] > 1) Note(d.error, Printf("flag byte 8 is %u, must be 0 or 1", c[8]));
    Note(d.error, CheckNoData(dataLength));
  } else if (stage == Stage::kDownload && sub == 2) {
    d.kind = CommandKind::kRestartHandset;
    d.flag = c[8];
    Note(d.error, CheckUnused(c, {8}));
    if (c[8] > 1) Note(d.error, Printf("flag byte 8 is %u, must be 0 or 1", c[8]));
    Note(d.error, CheckNoData(dataLength));
  } else {
    d.kind = CommandKind::kPrepareStorage;
    d.code = sub;
    Note(d.error, CheckUnused(c, {8, 9}));
    if (selector != 1) Note(d.error, "bytes 8-9 must be 1");
    Note(d.error, CheckNoData(dataLength));
  }
  if ((d.kind == CommandKind::kPrepareStorage || d.kind == CommandKind::kPollStorage) &&
      (sub < 1 || sub > 5))
    Note(d.error, Printf("storage mode %u is not 1 to 5", sub));
}

void DecodeGroup5(Stage stage, uint8_t direction, uint32_t dataLength, const uint8_t (&c)[16],
                  DecodedCommand& d) {
  switch (c[3]) {
    case 0x01:
      if (direction == kDirToDevice) {
        d.kind = CommandKind::kCreateFolder;
        d.length = U16(c, 4);
        Note(d.error, CheckUnused(c, {4, 5}));
        Note(d.error, CheckDataOut(direction, dataLength, d.length, kMaxNameBytes));
      } else {
        d.kind = CommandKind::kQueryState;
        Note(d.error, CheckUnused(c, {}));
        Note(d.error, CheckDataIn(direction, dataLength, kQueryStateBytes));
      }
      break;
    case 0x02:
      if (direction == kDirToDevice) {
        d.kind = CommandKind::kBeginFile;
        d.length = U16(c, 4);
        Note(d.error, CheckUnused(c, {4, 5}));
        Note(d.error, CheckDataOut(direction, dataLength, d.length, kMaxNameBytes));
      } else {
        d.kind = CommandKind::kBeginImage;
        d.code = c[8];
        d.value = U32(c, 10);
        Note(d.error, CheckUnused(c, {8, 10, 11, 12, 13}));
        Note(d.error, CheckNoData(dataLength));
      }
      break;
    case 0x03:
      d.kind = CommandKind::kWriteBlock;
      d.length = U16(c, 4);
      d.blockCheck = U16(c, 6);
      d.flag = c[8];
      if (stage == Stage::kStorage) {
        d.sequence = U16(c, 12);
        Note(d.error, CheckUnused(c, {4, 5, 6, 7, 8, 12, 13}));
      } else {
        Note(d.error, CheckUnused(c, {4, 5, 6, 7, 8}));
      }
      if (d.flag > 1) Note(d.error, Printf("last-block byte 8 is %u, must be 0 or 1", d.flag));
      Note(d.error, CheckDataOut(direction, dataLength, d.length, kMaxBlockBytes));
      break;
    case 0x04:
      d.kind = CommandKind::kAbortImage;
      Note(d.error, CheckUnused(c, {}));
      Note(d.error, CheckNoData(dataLength));
      break;
    case 0x05:
      if (stage == Stage::kStorage) {
        d.kind = CommandKind::kEndFile;
        d.value = U32(c, 8);
        d.fileCheck = U32(c, 12);
        Note(d.error, CheckUnused(c, {8, 9, 10, 11, 12, 13, 14, 15}));
      } else {
        d.kind = CommandKind::kEndImage;
        d.code = c[8];
        d.value = U32(c, 10);
        Note(d.error, CheckUnused(c, {8, 10, 11, 12, 13}));
      }
      Note(d.error, CheckNoData(dataLength));
      break;
    case 0x06:
      d.kind = CommandKind::kOpenDownload;
      Note(d.error, CheckUnused(c, {8}));
      if (c[8] != 1) Note(d.error, "byte 8 must be 1");
      Note(d.error, CheckNoData(dataLength));
      break;
    case 0x07:
      d.kind = CommandKind::kSendSegmentCheck;
      d.code = c[8];
      d.value = U32(c, 10);
      Note(d.error, CheckUnused(c, {8, 10, 11, 12, 13}));
      Note(d.error, CheckNoData(dataLength));
      break;
    case 0x08:
      d.kind = CommandKind::kCommitSegment;
      d.code = c[8];
      d.value = U32(c, 10);
      d.number = c[14];
      d.flag = c[15];
      Note(d.error, CheckUnused(c, {8, 10, 11, 12, 13, 14, 15}));
      if (d.flag > 1) Note(d.error, Printf("last-segment byte 15 is %u, must be 0 or 1", d.flag));
      Note(d.error, CheckNoData(dataLength));
      break;
    default:
      break;
  }
}

}  // namespace

const char* StageName(Stage stage) {
  switch (stage) {
    case Stage::kDownload: return "download";
    case Stage::kSecond: return "second";
    case Stage::kStorage: return "storage";
  }
  return "?";
}

const char* CommandName(CommandKind kind) {
  for (const auto& n : kNames)
    if (n.kind == kind) return n.name;
  return "Unknown";
}

std::optional<CommandKind> CommandKindFromName(std::string_view name) {
  for (const auto& n : kNames)
    if (n.kind != CommandKind::kUnknown && EqualsNoCase(name, n.name)) return n.kind;
  return std::nullopt;
}

DecodedCommand DecodeCommand(Stage stage, uint8_t direction, uint32_t dataLength,
                             const uint8_t (&c)[16]) {
  DecodedCommand d;
  if (c[0] != 0xFF || c[1] != 0xFF) {
    d.error = Printf("not a vendor command (starts %02X %02X)", c[0], c[1]);
    return d;
  }
  uint8_t group = c[2], sub = c[3];
  if (group == 0x01 && sub == 0x01) {
    d.kind = CommandKind::kCheckAlive;
    Note(d.error, CheckUnused(c, {}));
    Note(d.error, CheckNoData(dataLength));
  } else if (group == 0x02 && sub == 0x06) {
    d.kind = CommandKind::kSelectMode;
    d.flag = c[8];
    Note(d.error, CheckUnused(c, {8}));
    if (c[8] != 3) Note(d.error, "byte 8 must be 3");
    Note(d.error, CheckNoData(dataLength));
  } else if (group == 0x03) {
    DecodeGroup3(stage, direction, dataLength, c, d);
  } else if (group == 0x04 && sub == 0x01) {
    if (c[8] == 2) {
      d.kind = CommandKind::kPollCompletion;
      Note(d.error, CheckUnused(c, {4, 8}));
      if (c[4] != kPollCompletionBytes) Note(d.error, "byte 4 must be 0x32");
      Note(d.error, CheckDataIn(direction, dataLength, kPollCompletionBytes));
    } else {
      d.kind = CommandKind::kStartCompletion;
      Note(d.error, CheckUnused(c, {8}));
      if (c[8] != 1) Note(d.error, "byte 8 must be 1 (start) or 2 (poll)");
      Note(d.error, CheckNoData(dataLength));
    }
  } else if (group == 0x04 && sub == 0x03) {
    d.kind = CommandKind::kFinishFileSets;
    Note(d.error, CheckUnused(c, {}));
    Note(d.error, CheckNoData(dataLength));
  } else if (group == 0x05) {
    DecodeGroup5(stage, direction, dataLength, c, d);
  }
  if (d.kind == CommandKind::kUnknown && d.error.empty())
    d.error = Printf("unknown command group %02X sub-command %02X", group, sub);
  return d;
}

}  // namespace flashery::sim
