#include "sim/handset_model.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/files.h"
#include "platform/paths.h"
#include "sim/handset_names.h"
#include "text/status.h"

namespace flashery::sim {

HandsetModel::HandsetModel(HandsetConfig config, Clock& clock)
    : config_(std::move(config)),
      clock_(clock),
      faults_(config_.faults),
      images_(config_.folder),
      files_(config_.folder),
      areas_(JoinPath(config_.folder, "storage")) {
  report_.serial = config_.serial;
  report_.busSerial = config_.serial;
  report_.model = config_.model;
  report_.interfacePath = interfacePath();
}

std::string HandsetModel::interfacePath() const {
  return InterfacePath(config_.vendor, config_.model, config_.revision, report_.busSerial);
}

std::string HandsetModel::ReportPath() const { return JoinPath(config_.folder, "report.json"); }

// The report replaces the previous one whole (written beside it, then
// renamed), so a reader never sees half of one; it is not flushed to disk.
// It is written before the answer to every significant command, and a flush
// on a busy disk can take seconds, longer than the station waits for that
// answer.
bool HandsetModel::WriteReport() {
  std::string path = ReportPath();
  std::string tmp = path + ".tmp";
  if (WriteWholeFile(tmp, ReportToJson(report_)) && ::rename(tmp.c_str(), path.c_str()) == 0) return true;
  ::unlink(tmp.c_str());
  return false;
}

bool HandsetModel::PowerOn() {
  if (config_.folder.empty()) return false;
  RemoveTree(config_.folder);
  for (const char* sub : {"images", "storage", ".incoming"})
    if (!MakeDirectories(JoinPath(config_.folder, sub))) return false;
  report_.onBus = true;
  return WriteReport();
}

bool HandsetModel::busy() const { return clock_.NowMs() < busyUntilMs_; }

bool HandsetModel::ready() const { return !faults_.neverReady() && !busy(); }

void HandsetModel::Reject(const char* command, const std::string& reason) {
  report_.rejected.push_back({clock_.NowMs(), command, reason});
}

void HandsetModel::Fault(CommandKind kind, const std::string& what) {
  report_.faults.push_back({clock_.NowMs(), CommandName(kind), what});
}

void HandsetModel::ReplyText(const std::string& text, uint32_t size, HandsetReply& reply) {
  reply.data.assign(size, 0);
  std::copy_n(text.begin(), std::min<size_t>(text.size(), size > 0 ? size - 1 : 0),
              reply.data.begin());
}

bool HandsetModel::AllowedIn(CommandKind kind, Stage stage) {
  switch (kind) {
    case CommandKind::kCheckAlive:
    case CommandKind::kQueryState:
      return true;
    case CommandKind::kSelectMode:
      return stage == Stage::kSecond;
    case CommandKind::kWriteBlock:
      return stage != Stage::kSecond;
    case CommandKind::kOpenDownload:
    case CommandKind::kBeginImage:
    case CommandKind::kAbortImage:
    case CommandKind::kEndImage:
    case CommandKind::kSendSegmentCheck:
    case CommandKind::kCommitSegment:
    case CommandKind::kFinishImages:
    case CommandKind::kRestartHandset:
      return stage == Stage::kDownload;
    case CommandKind::kPrepareStorage:
    case CommandKind::kPollStorage:
    case CommandKind::kCreateFolder:
    case CommandKind::kBeginFile:
    case CommandKind::kEndFile:
    case CommandKind::kFinishFileSets:
    case CommandKind::kStartCompletion:
    case CommandKind::kPollCompletion:
      return stage == Stage::kStorage;
    case CommandKind::kUnknown:
      return false;
  }
  return false;
}

HandsetReply HandsetModel::Execute(const HandsetCommand& c) {
  HandsetReply reply;
  uint64_t now = clock_.NowMs();
  DecodedCommand d = DecodeCommand(stage_, c.direction, c.dataLength, c.cdb);
  if (d.kind != CommandKind::kUnknown) ++report_.commands[static_cast<size_t>(d.kind)];
  if (d.ok() && c.direction == kDirToDevice && c.data == nullptr) d.error = "data missing";
  const char* name = CommandName(d.kind);

  auto refuse = [&](bool isFault) {
    reply.scsiStatus = kStatusCheckCondition;
    reply.data.clear();
    report_.AddTrace(now, d.kind, kStatusCheckCondition, isFault ? "fault" : "refused");
    WriteReport();
    return reply;
  };

  if (faults_.silent()) {
    reply.timing = ReplyTiming::kNever;
    report_.AddTrace(now, d.kind, kStatusCheckCondition, "not answered");
    if (report_.faults.empty()) {
      Fault(d.kind, "silent: no command is answered");
      WriteReport();
    }
    return reply;
  }
  if (!d.ok()) {
    Reject(name, d.error);
    return refuse(false);
  }
  uint32_t occurrence = faults_.Occur(d.kind);
  if (d.kind == CommandKind::kWriteBlock) {
    if (faults_.DropAtBlock()) {
      Fault(d.kind, "connection dropped instead of an answer");
      reply.timing = ReplyTiming::kDropConnection;
      return refuse(true);
    }
    if (faults_.PullAtThisBlock()) {
      Fault(d.kind, "pulled from the bus instead of an answer");
      pulled_ = true;
      reply.timing = ReplyTiming::kDropConnection;
      reply.leaveBus = true;
      return refuse(true);
    }
    bool ofImage = stage_ == Stage::kDownload && images_.open();
    bool ofFile = stage_ == Stage::kStorage && files_.open();
    if (ofImage || ofFile) {
      std::string target = ofImage ? FormatString("image%u", images_.code()) : files_.openName();
      uint32_t index = ofImage ? images_.nextBlockIndex() : files_.nextBlockIndex();
      if (faults_.RejectBlock(index, target)) {
        Fault(d.kind, FormatString("block %u of %s refused", index, target.c_str()));
        return refuse(true);
      }
    }
  }
  if (faults_.Late(d.kind, occurrence)) {
    Fault(d.kind, "answered after the time-out");
    reply.timing = ReplyTiming::kAfterTimeout;
    reply.delayMs = c.timeoutMs + c.timeoutMs / 4 + 500;
    return refuse(true);
  }
  if (faults_.Refused(d.kind, occurrence)) {
    Fault(d.kind, "refused");
    return refuse(true);
  }

  Outcome out;
  if (!AllowedIn(d.kind, stage_))
    out.refusal = FormatString("not taken in the %s stage", StageName(stage_));
  else
    out = Dispatch(d, c, reply);
  if (!out.refusal.empty()) {
    Reject(name, out.refusal);
    return refuse(false);
  }
  reply.scsiStatus = kStatusGood;
  reply.leaveBus = out.leaveBus;
  if (d.kind != CommandKind::kCheckAlive) report_.AddTrace(now, d.kind, kStatusGood, out.note);
  if (out.significant) WriteReport();
  return reply;
}

HandsetModel::Outcome HandsetModel::Dispatch(const DecodedCommand& d, const HandsetCommand& c,
                                             HandsetReply& reply) {
  Outcome out;
  switch (d.kind) {
    case CommandKind::kCheckAlive:
      return out;
    case CommandKind::kQueryState: {
      bool isReady = ready();
      reply.data = {static_cast<uint8_t>(isReady ? 2 : 1), 0, 0, 0};
      out.note = isReady ? "ready" : "busy";
      return out;
    }
    case CommandKind::kSelectMode:
      out.leaveBus = true;
      out.significant = true;
      nextStage_ = Stage::kStorage;
      return out;
    default:
      break;
  }
  if (stage_ == Stage::kDownload) return Images(d, c);
  return Storage(d, c, reply);
}

HandsetModel::Outcome HandsetModel::Images(const DecodedCommand& d, const HandsetCommand& c) {
  Outcome out;
  uint64_t now = clock_.NowMs();
  const HandsetTimings& t = config_.timings;
  bool needsReady = d.kind == CommandKind::kBeginImage || d.kind == CommandKind::kWriteBlock ||
                    d.kind == CommandKind::kEndImage || d.kind == CommandKind::kFinishImages ||
                    d.kind == CommandKind::kRestartHandset;
  if (needsReady && busy()) {
    out.refusal = "busy: QueryState does not report ready yet";
    return out;
  }
  switch (d.kind) {
    case CommandKind::kOpenDownload:
      if (images_.open()) {
        images_.Abort();
        out.note = "open image dropped";
      }
      downloadOpen_ = true;
      report_.downloadOpened = true;
      busyUntilMs_ = now + t.openBusyMs;
      out.significant = true;
      break;
    case CommandKind::kBeginImage:
      if (!downloadOpen_)
        out.refusal = "OpenDownload was not sent";
      else
        out.refusal = images_.Begin(d.code, d.value);
      break;
    case CommandKind::kWriteBlock:
      out.refusal = images_.Block(d, c.data);
      break;
    case CommandKind::kCommitSegment:
      out.refusal = images_.CommitSegment(d);
      break;
    case CommandKind::kSendSegmentCheck:
      out.refusal = images_.SegmentCheck(d);
      if (out.refusal.empty()) busyUntilMs_ = now + t.segmentBusyMs;
      break;
    case CommandKind::kEndImage: {
      ImageRecord record;
      out.refusal = images_.End(d.code, d.value, record);
      if (!out.refusal.empty()) break;
      auto same = std::find_if(report_.images.begin(), report_.images.end(),
                               [&](const ImageRecord& r) { return r.code == record.code; });
      if (same != report_.images.end())
        *same = record;
      else
        report_.images.push_back(record);
      busyUntilMs_ = now + t.imageBusyMs;
      out.significant = true;
      break;
    }
    case CommandKind::kAbortImage:
      if (images_.open()) out.note = FormatString("image %u dropped", images_.code());
      images_.Abort();
      out.significant = true;
      break;
    case CommandKind::kFinishImages:
      if (images_.open()) {
        out.refusal = FormatString("image %u is still open", images_.code());
        break;
      }
      report_.finishImagesFlag = d.flag;
      busyUntilMs_ = now + t.finishBusyMs;
      out.significant = true;
      break;
    case CommandKind::kRestartHandset:
      if (images_.open()) {
        out.note = FormatString("open image %u dropped", images_.code());
        images_.Abort();
      }
      report_.restartFlag = d.flag;
      nextStage_ = Stage::kSecond;
      out.leaveBus = true;
      out.significant = true;
      break;
    default:
      out.refusal = "not a download-stage command";
      break;
  }
  return out;
}

HandsetModel::Outcome HandsetModel::Storage(const DecodedCommand& d, const HandsetCommand& c,
                                            HandsetReply& reply) {
  Outcome out;
  uint64_t now = clock_.NowMs();
  const HandsetTimings& t = config_.timings;
  auto name = [&] { return std::string(reinterpret_cast<const char*>(c.data), c.dataLength); };
  switch (d.kind) {
    case CommandKind::kPrepareStorage:
      if (!areas_.Prepare(d.code, now, t.prepareMs)) out.refusal = "the handset could not format the area";
      report_.prepared.push_back(d.code);
      out.significant = true;
      break;
    case CommandKind::kPollStorage: {
      if (!areas_.prepared(d.code)) {
        out.refusal = FormatString("PollStorage mode %u before PrepareStorage mode %u", d.code, d.code);
        break;
      }
      std::string text = areas_.PollText(d.code, now);
      if (areas_.done(d.code, now)) {
        if (faults_.WrongPollStorage()) {
          text = d.code == 1 ? "end=p1=1:p2=1:p3=0:p4=1" : "2";
          Fault(d.kind, "wrong reply " + text);
        }
        out.significant = true;
      }
      out.note = text;
      ReplyText(text, kPollStorageBytes, reply);
      break;
    }
    case CommandKind::kCreateFolder: {
      bool created = false;
      out.refusal = files_.CreateFolder(name(), created);
      if (out.refusal.empty() && created) report_.folders.push_back(name());
      break;
    }
    case CommandKind::kBeginFile:
      out.refusal = files_.Begin(name());
      break;
    case CommandKind::kWriteBlock:
      out.refusal = files_.Block(d, c.data);
      break;
    case CommandKind::kEndFile: {
      FileRecord record;
      out.refusal = files_.End(d.value, d.fileCheck, record);
      if (!out.refusal.empty()) break;
      auto same = std::find_if(report_.files.begin(), report_.files.end(),
                               [&](const FileRecord& r) { return r.name == record.name; });
      if (same != report_.files.end())
        *same = record;
      else
        report_.files.push_back(record);
      break;
    }
    case CommandKind::kFinishFileSets:
      if (files_.open()) {
        out.refusal = "file " + Printable(files_.openName()) + " is still open";
        break;
      }
      report_.fileSetsFinished = true;
      out.significant = true;
      break;
    case CommandKind::kStartCompletion:
      report_.completionStarted = true;
      completionAtMs_ = now + t.completeMs;
      out.significant = true;
      break;
    case CommandKind::kPollCompletion: {
      if (!report_.completionStarted) {
        out.refusal = "PollCompletion before StartCompletion";
        break;
      }
      std::string text = now >= completionAtMs_ ? "1" : "0";
      if (text == "1" && faults_.WrongPollCompletion()) {
        text = "2";
        Fault(d.kind, "wrong reply 2");
      } else if (text == "1") {
        report_.completed = true;
      }
      out.significant = text != "0";
      out.note = text;
      ReplyText(text, kPollCompletionBytes, reply);
      break;
    }
    default:
      out.refusal = "not a storage-stage command";
      break;
  }
  return out;
}

BusReturn HandsetModel::LeaveBus() {
  ++report_.restarts;
  report_.onBus = false;
  images_.Abort();
  files_.Drop();
  BusReturn back;
  back.comesBack = !pulled_ && faults_.ComesBack(report_.restarts);
  back.offBusMs = config_.timings.offBusMs;
  if (faults_.otherSerial())
    report_.busSerial = FormatString("%s-R%u", config_.serial.c_str(), report_.restarts);
  report_.interfacePath = interfacePath();
  back.busSerial = report_.busSerial;
  WriteReport();
  return back;
}

void HandsetModel::Rejoin() {
  stage_ = nextStage_;
  downloadOpen_ = false;
  busyUntilMs_ = 0;
  report_.stage = stage_;
  report_.onBus = true;
  WriteReport();
}

void HandsetModel::ConnectionClosed() { WriteReport(); }

void HandsetModel::Shutdown() {
  images_.Abort();
  files_.Drop();
  report_.onBus = false;
  WriteReport();
}

}  // namespace flashery::sim
