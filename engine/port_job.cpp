#include "engine/port_job.h"

#include "device/port_commands.h"
#include "device/port_device.h"
#include "engine/file_set_transfer.h"
#include "engine/gone_watch.h"
#include "engine/image_profile.h"
#include "engine/image_transfer.h"
#include "engine/storage_procedures.h"
#include "package/package_identity.h"
#include "platform/clock.h"
#include "text/port_view.h"
#include "text/prompter.h"
#include "text/station_texts.h"
#include "text/text_ids.h"
#include "text/text_table.h"

namespace flashery {

namespace {

constexpr int kOpenTries = 3;
constexpr int kStoredPolls = 300;
constexpr uint32_t kStoredPollPauseMs = 400;
constexpr uint32_t kStepPauseMs = 100;
constexpr uint32_t kFileSetPauseMs = 200;
constexpr uint32_t kRetryPauseMs = 500;
constexpr int kLeaveRounds = 50;
constexpr int kStableRounds = 20;
constexpr int kFirstReturnRounds = 200;
constexpr int kSecondReturnRounds = 500;
constexpr uint32_t kReturnPauseMs = 500;
constexpr int kModeSelectTries = 3;
constexpr int kProbeRounds = 100;
// A failure decided this long before the handset was seen gone was not
// caused by its removal (the device monitor sees a removal within a scan).
constexpr uint64_t kGoneSlackMs = 1000;

class Job {
 public:
  explicit Job(const PortJobContext& c)
      : c_(c),
        in_(MakeJobInputs(c.selection.get(), c.package.get(), c.commandLineMode && !c.commandLineFileSets)),
        fileSetsWanted_(FileSetsWanted(in_)),
        isT745_(IsT745(in_)),
        watch_(c.records, c.portIndex, c.clock, c.goneFailMs, c.stopped),
        clock_(c.clock, watch_),
        quietOnStop_(c.stopped, [this] { quiet_.request_stop(); }),
        quietOnGone_(watch_.goneToken(), [this] { quiet_.request_stop(); }) {
    output_.view = c.commandLineMode ? nullptr : c.view;
    output_.listener = c.listener;
    output_.log = c.log;
    output_.commandLineMode = c.commandLineMode;
    // The operator's stop and a handset declared gone both cut the job off
    // from its handset: what would follow never happened on the wire.
    output_.stopped = quiet_.get_token();
    static const DownloadSelection kNothing;
    sel_ = c.selection ? c.selection.get() : &kNothing;
  }

  bool Run();

 private:
  std::string T(int id) const { return c_.texts.Get(id); }
  PortDevice& dev() { return *dev_; }
  void Show(const std::string& m) { ShowStatusText(dev().out, m); }
  void Report(const std::string& m) { ReportMessage(dev().out, m); }
  void Sleep(uint32_t ms) { clock_.SleepMs(ms); }
  bool Attached() const { return c_.records.Attached(c_.portIndex) == 1; }
  bool Stopped() const { return c_.stopped.stop_requested(); }
  bool Gone() const { return watch_.gone(); }
  // The job goes no further: the operator stopped it or its handset is gone.
  bool Halted() const { return Stopped() || Gone(); }
  uint64_t ElapsedMs() const {
    uint64_t now = (c_.stationClock ? *c_.stationClock : c_.clock).NowMs();
    return now > c_.startTimeMs ? now - c_.startTimeMs : 0;
  }
  std::string Elapsed() const { return FormatElapsed(static_cast<int64_t>(ElapsedMs() / 1000)); }
  // A new step of the job begins; listeners hear it.
  void Step(JobStep step, const std::string& item = {}) {
    step_ = step;
    if (c_.listener) c_.listener->OnStep(c_.portIndex, step, item);
  }
  // The job's outcome so far; the first failure keeps the text shown when
  // it was decided, so a later probe's text never replaces the reason.
  void SetOk(bool ok) {
    if (ok_ && !ok && !failed_) {
      failed_ = true;
      failedStep_ = step_;
      if (dev_) reason_ = dev_->out.lastText;
      failedMs_ = c_.clock.NowMs();
      failedInRestart_ = restartAsked_;
    }
    ok_ = ok;
  }
  // A restart the job asked for is under way: the handset's absence is
  // expected and not counted against it.
  void RestartAsked(bool asked) {
    restartAsked_ = asked;
    watch_.SetRestartAsked(asked);
  }
  // Whether the handset's removal decided the outcome: it was declared
  // gone, or the job failed with its handset off the bus; and the job was
  // going well until then, or its first failure came with the removal (not
  // out of a restart's own bounded wait).
  bool RemovalDecided() {
    if (!Gone() && (ok_ || Stopped() || !(watch_.Check(), watch_.absent()))) return false;
    if (!failed_) return true;
    return !failedInRestart_ && failedMs_ + kGoneSlackMs >= watch_.absentSinceMs();
  }

  void NewDevice();
  bool PackageIsTheVerifiedOne();
  bool OpenWithTries(bool pauseAfterOpen);
  void WriteImages();
  void WaitImagesStored();
  bool Restart();              // steps 7 to 12; false: go to the probe
  bool WaitReturn(int rounds, int textId, int presentDivisor, int absentDivisor);
  bool Reopen(int textId, bool pauseAfterOpen);
  void FirstProbe();
  void FileSetsAndCompletion();
  bool RunWaitCompletion();
  void End();

  const PortJobContext& c_;
  const JobInputs in_;
  const bool fileSetsWanted_;
  const bool isT745_;
  const DownloadSelection* sel_;
  PortOutput output_;
  std::unique_ptr<PortDevice> dev_;
  bool ok_ = true;
  JobStep step_ = JobStep::Open;
  bool failed_ = false;
  JobStep failedStep_ = JobStep::Open;  // the step current when the job first failed
  std::string reason_;
  uint64_t failedMs_ = 0;
  bool failedInRestart_ = false;
  bool restartAsked_ = false;
  GoneWatch watch_;
  GoneWatchClock clock_;
  std::stop_source quiet_;
  std::stop_callback<std::function<void()>> quietOnStop_;
  std::stop_callback<std::function<void()>> quietOnGone_;
};

void Job::NewDevice() {
  // A replacement carries the job's byte total on; its progress starts at 0.
  if (dev_) {
    output_.transferredBytes = dev_->out.transferredBytes;
    output_.lastText = dev_->out.lastText;
  }
  dev_.reset();
  std::unique_ptr<Transport> transport = c_.newTransport ? c_.newTransport() : nullptr;
  if (transport) transport = std::make_unique<GoneWatchTransport>(std::move(transport), watch_);
  dev_ = std::make_unique<PortDevice>(c_.records.Get(c_.portIndex), c_.portIndex, std::move(transport),
                                      c_.texts, clock_, output_);
}

bool Job::OpenWithTries(bool pauseAfterOpen) {
  for (int i = 0; i < kOpenTries; ++i) {
    if (dev().OpenDevice()) {
      Show(T(kTextHandsetOpened));
      if (pauseAfterOpen) Sleep(kStepPauseMs);
      return true;
    }
  }
  return false;
}

bool Job::PackageIsTheVerifiedOne() {
  if (!c_.package || PlanImages(in_).empty()) return true;
  if (SamePackageFile(c_.package->fileIdentity, PackageIdentityAt(c_.package->packagePath))) return true;
  Report(c_.texts.Get(station_text::kPackageChanged));
  return false;
}

void Job::WriteImages() {
  const QfmPackage& pkg = *c_.package;
  for (const ImageStep& step : PlanImages(in_)) {
    if (!ok_) return;
    Step(JobStep::Image, step.kind == ImageKind::Extend ? pkg.extend(step.extendSlot + 1).name
                                                       : ProfileFor(step.kind).displayName);
    bool packageChanged = false;
    if (RunImageProcedure(dev(), pkg, step.kind, step.extendSlot, &packageChanged)) {
      Sleep(kStepPauseMs);
      continue;
    }
    if (Halted()) {  // refused by the stop or the removal, not by the handset
      SetOk(false);
      return;
    }
    if (c_.commandLineMode) c_.prompter.Prompt(ImageFailureBoxText(step.kind), kAppTitle, PromptButtons::Ok);
    if (step.kind == ImageKind::Extend && c_.commandLineMode) {
      SetOk(false);
      return;
    }
    // The image is aborted either way; a package that changed is not read again.
    if (AbortImage(dev()) && !packageChanged)
      SetOk(RunImageProcedure(dev(), pkg, RepeatKind(step.kind), step.extendSlot));
    else
      SetOk(false);
    Sleep(kStepPauseMs);
  }
}

void Job::WaitImagesStored() {
  Step(JobStep::WaitStored);
  for (int r = 0; r < kStoredPolls; ++r) {
    bool reachable = false;
    if (QueryState(dev(), reachable)) {
      Report(FormatString(" QFM Download success time:%s; ", Elapsed().c_str()));
      if (!in_.commandLineMode) SetOk(FinishImages(dev(), FinishImagesFlag(in_) != 0));
      return;
    }
    if (!reachable) Show(T(kTextHandsetNotReady));
    Show(T(kTextWaitingForHandset) + FormatString(" %d s...\r\n", r));
    Sleep(kStoredPollPauseMs);
  }
  Show(T(kTextHandsetNotReady));
  SetOk(false);
}

bool Job::WaitReturn(int rounds, int textId, int presentDivisor, int absentDivisor) {
  int stable = 0;
  for (int r = 0; r < rounds; ++r) {
    if (Attached()) {
      if (stable >= kStableRounds) return true;
      Sleep(kReturnPauseMs);
      Show(T(textId) + FormatString(" %d s...\r\n", r / presentDivisor));
      ++stable;
    } else {
      Show(T(textId) + FormatString(" %d s...\r\n", r / absentDivisor));
      Sleep(kReturnPauseMs);
    }
  }
  return false;
}

bool Job::Reopen(int textId, bool pauseAfterOpen) {
  Show(T(textId));
  NewDevice();
  if (OpenWithTries(pauseAfterOpen)) return true;
  Report(T(kTextHandsetOpenFailed));
  SetOk(false);
  return false;
}

bool Job::Restart() {
  Step(JobStep::Restart);
  // The first restart; in the unattended mode it runs whatever came before,
  // but never turns an earlier failure into a success.
  bool restarted = RestartIntoStorage(dev(), in_.commandLineMode);
  if (restarted) RestartAsked(true);
  if (!restarted) Show(T(kTextRestartFailed));
  SetOk(ok_ && restarted);
  if (restarted) {
    for (int i = 0; i < kLeaveRounds; ++i) {
      Sleep(50);
      if (!Attached()) {
        Show(T(kTextHandsetRestarting));
        break;
      }
    }
  }
  if (!ok_ || !ContinuesAfterRestart(in_)) {
    // The job ends with its handset restarting as it asked: that absence is
    // the restart's, never a removal that decides the outcome.
    if (!restarted) RestartAsked(false);
    return false;
  }

  if (!WaitReturn(kFirstReturnRounds, kTextWaitingForReturn, 5, 5)) {
    Report(T(kTextRestartFailed));
    SetOk(false);
    RestartAsked(false);
    return false;
  }
  bool reopened = Reopen(kTextReopeningAfterRestart, true);
  RestartAsked(false);
  if (!reopened) return false;

  bool selected = false;
  for (int i = 0; i < kModeSelectTries && !selected; ++i) selected = SelectStorageMode(dev());
  if (!selected) Show(T(kTextStorageModeRefused));
  SetOk(selected);
  if (!selected) return false;
  RestartAsked(true);  // the handset switches its mode by restarting
  for (int i = 0; i < kLeaveRounds; ++i) {
    Sleep(kReturnPauseMs);
    if (!Attached()) {
      Show(T(kTextSwitchingStorageMode));
      break;
    }
  }
  if (!WaitReturn(kSecondReturnRounds, kTextSwitchingStorageMode, 3, 2)) {
    Report(T(kTextHandsetOpenFailed));
    SetOk(false);
    RestartAsked(false);
    return false;
  }
  bool reopened2 = Reopen(kTextStorageModeSelected, false);
  RestartAsked(false);
  return reopened2;
}

void Job::FirstProbe() {
  Step(JobStep::Probe);
  for (int r = 0; r < kProbeRounds; ++r) {
    if (CheckAlive(dev(), true)) {
      Show(T(kTextHandsetAnswering));
      return;
    }
    Show(T(kTextWaitingForReturn) + FormatString(" %d s...\r\n", r / 2));
    Sleep(kReturnPauseMs);
  }
  Report(T(kTextHandsetNotAnswering));
  dev().logTransportErrors = true;
  SetOk(false);
}

bool Job::RunWaitCompletion() {
  if (WaitCompletion(dev())) return true;
  Sleep(kRetryPauseMs);
  return WaitCompletion(dev());
}

void Job::FileSetsAndCompletion() {
  const int formatMode = sel_->formatMode;
  if (formatMode == 1 && ok_) {
    Step(JobStep::PrepareStorage);
    if (!PrepareStorageArea(dev(), 1)) {
      Sleep(1000);
      if (!PrepareStorageArea(dev(), 1)) {
        Show(T(kTextFormatStorageFailed));
        SetOk(false);
      }
    }
  }
  if (fileSetsWanted_ && in_.brandSelected && ok_) {
    Step(JobStep::FileSet, "brand");
    Sleep(kFileSetPauseMs);
    SetOk(TransferFileSet(dev(), FileSetKind::Brand, sel_->brandFolder, formatMode, c_.codepage));
  } else if (formatMode == 0 && ok_ && isT745_) {
    Step(JobStep::PrepareStorage);
    bool prepared = PrepareStorageArea(dev(), 4);
    if (prepared) {
      Sleep(kFileSetPauseMs);
      prepared = PrepareStorageArea(dev(), 3);
    }
    if (!prepared) {
      Report(T(kTextLabelBrand) + T(kTextTransferFailed));
      SetOk(false);
      return;
    }
  }
  if (!fileSetsWanted_) {
    if (ok_ && isT745_) {
      Step(JobStep::Completion);
      SetOk(RunWaitCompletion());
    }
    return;
  }
  if (in_.resourcesSelected && ok_) {
    Step(JobStep::FileSet, "resources");
    Sleep(kFileSetPauseMs);
    SetOk(TransferFileSet(dev(), FileSetKind::Resources, sel_->resourcesFolder, formatMode, c_.codepage));
  }
  if (in_.gpsSelected) {
    if (!ok_) return;
    Step(JobStep::FileSet, "gps");
    Sleep(kFileSetPauseMs);
    SetOk(TransferFileSet(dev(), FileSetKind::Gps, sel_->gpsFolder, formatMode, c_.codepage));
  }
  if (!ok_) return;
  Step(JobStep::Completion);
  Sleep(kFileSetPauseMs);
  if (!FinishFileSets(dev())) {
    Sleep(kRetryPauseMs);
    if (!FinishFileSets(dev())) {
      SetOk(false);
      return;
    }
  }
  bool answered = false;
  for (int r = 0; r < kProbeRounds && !answered; ++r) {
    answered = CheckAlive(dev(), true);
    if (answered) {
      Show(T(kTextHandsetAnswering));
    } else {
      Show(T(kTextWaitingForHandset) + FormatString(" %d s...\r\n", r));
      Sleep(1000);
    }
  }
  if (!answered) {
    Show(T(kTextLostAfterFileSets));
    dev().logTransportErrors = true;
    SetOk(false);
    return;
  }
  SetOk(RunWaitCompletion());
}

void Job::End() {
  std::string elapsed = Elapsed();
  JobEnd end;
  end.port = c_.portIndex;
  end.instanceId = dev().out.instanceId;
  end.step = ok_ ? step_ : failedStep_;
  end.bytes = dev().out.transferredBytes;
  end.elapsedMs = ElapsedMs();
  if (Gone()) {
    // Whatever the loops said after the removal never reached a handset.
    ok_ = false;
    end.result = JobResult::Failed;
    end.reason = RemovalDecided() ? c_.texts.Get(station_text::kHandsetRemoved) : reason_;
  } else if (Stopped() && !ok_) {
    end.result = JobResult::Stopped;
    end.reason = c_.texts.Get(station_text::kStoppedByOperator);
  } else if (!ok_) {
    end.result = JobResult::Failed;
    end.reason = RemovalDecided() ? c_.texts.Get(station_text::kHandsetRemoved)
                                  : reason_.empty() ? dev().out.lastText : reason_;
  }
  // The reason is a line of its own: the status text's closing blanks and
  // line ends are not part of it.
  while (!end.reason.empty() && (end.reason.back() == ' ' || end.reason.back() == '\r' || end.reason.back() == '\n'))
    end.reason.pop_back();
  c_.records.SetState(c_.portIndex, kPortFinished);
  // The handset is let go before the view hears of the end, so a job started
  // again at once finds it free.
  PortOutput out = dev().out;
  dev_.reset();
  out.stopped = {};  // the closing line is the job's own
  auto Report = [&out](const std::string& m) { ReportMessage(out, m); };
  if (Gone()) {
    Report(end.reason + FormatString(" %s; ", elapsed.c_str()));
  } else if (Stopped() && !ok_) {
    Report(c_.texts.Get(station_text::kStoppedByOperator) + FormatString(" %s; ", elapsed.c_str()));
  } else if (!c_.commandLineMode) {
    if (ok_) {
      Report(T(kTextDownloadSucceeded) + FormatString(" %s; ", elapsed.c_str()));
    } else {
      WriteLog(out, " %s; ", elapsed.c_str());
      WriteLogText(out, "\r\n");
    }
  } else if (ok_) {
    WriteLogText(out, T(kTextDownloadSucceeded) + FormatString(" %s;", elapsed.c_str()));
    WriteLogText(out, "\r\n");
  }
  if (c_.listener) c_.listener->OnJobEnded(end);
  if (!c_.commandLineMode && c_.view) {
    c_.view->JobEnded(c_.portIndex, ok_);
    c_.view->SetProgress(c_.portIndex, 0);
  }
}

bool Job::Run() {
  NewDevice();
  if (c_.listener) {
    PortRecord record = c_.records.Get(c_.portIndex);
    JobStart start;
    start.port = c_.portIndex;
    start.instanceId = dev().out.instanceId;
    start.socketPath = record.socketPath;
    start.plannedBytes = c_.plannedBytes;
    start.timeMs = c_.startTimeMs;
    c_.listener->OnJobStarted(start);
  }
  Step(JobStep::Open);
  if (!WritesAnything(in_)) {
    Report(c_.texts.Get(station_text::kNothingToWrite));
    SetOk(false);
    End();
    return ok_;
  }
  // A package file that is no longer the verified one fails the port before
  // the handset is touched.
  if (!PackageIsTheVerifiedOne()) {
    SetOk(false);
    End();
    return ok_;
  }
  if (OpenWithTries(true)) {
    bool opened = false;
    for (int i = 0; i < kOpenTries && !opened; ++i) opened = OpenDownload(dev());
    if (opened) {
      Report(T(kTextDownloadStarted));
    } else {
      Report(T(kTextDownloadStartFailed));
      SetOk(false);
    }
  } else {
    Show(T(kTextHandsetOpenFailed));
    SetOk(false);
  }
  if (ok_ && c_.package) WriteImages();
  if (ok_) WaitImagesStored();
  if (!Halted() && RestartGate(in_, ok_)) Restart();
  if (!Halted() && ProbeGate(in_, ok_)) {
    FirstProbe();
    FileSetsAndCompletion();
  }
  End();
  return ok_;
}

}  // namespace

JobInputs MakeJobInputs(const DownloadSelection* sel, const QfmPackage* pkg, bool commandLineMode) {
  JobInputs in;
  in.commandLineMode = commandLineMode;
  if (sel) {
    in.bootloaderSelected = sel->bootloaderSelected != 0;
    in.kernelSelected = sel->kernelSelected != 0;
    in.systemSelected = sel->systemSelected != 0;
    in.gpsSelected = sel->gpsSelected != 0;
    in.resourcesSelected = sel->resourcesSelected != 0;
    in.brandSelected = sel->brandSelected != 0;
    in.formatMode = sel->formatMode;
  }
  if (pkg) {
    in.productName = pkg->productName;
    in.mloPresent = pkg->section(QfmSectionKey::MLO).IsPresent();
    in.blPresent = pkg->section(QfmSectionKey::BL).IsPresent();
    in.nkPresent = pkg->section(QfmSectionKey::NK).IsPresent();
    in.systemPresent = pkg->section(QfmSectionKey::System).IsPresent();
    in.userdataPresent = pkg->section(QfmSectionKey::Userdata).IsPresent();
    in.cachePresent = pkg->section(QfmSectionKey::Cache).IsPresent();
    in.recoveryPresent = pkg->section(QfmSectionKey::Recovery).IsPresent();
    in.evnPresent = pkg->section(QfmSectionKey::Evn).IsPresent();
    for (int k = 0; k < kExtendSlots; ++k) in.extendPresent[static_cast<size_t>(k)] = pkg->extend(k + 1).IsPresent();
  }
  return in;
}

bool PortJob(const PortJobContext& context) {
  context.semaphore.acquire();
  bool ok = false;
  {
    Job job(context);
    ok = job.Run();
  }
  context.semaphore.release();
  return ok;
}

}  // namespace flashery
