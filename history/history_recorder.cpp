#include "history/history_recorder.h"

namespace flashery {

HistoryRecorder::HistoryRecorder(std::string path, Say say, UtcNowMs utcNow)
    : path_(std::move(path)), say_(std::move(say)), utcNow_(std::move(utcNow)) {}

void HistoryRecorder::Failed(const std::string& why) {
  if (said_) return;
  said_ = true;
  toSay_ = why.empty() ? std::string("error") : why;
}

void HistoryRecorder::SayPending() {
  std::string why;
  {
    std::lock_guard lock(mutex_);
    why.swap(toSay_);
  }
  if (!why.empty() && say_) say_(path_, why);
}

bool HistoryRecorder::Open() {
  bool usable;
  {
    std::lock_guard lock(mutex_);
    usable_ = store_.Open(path_, true) && store_.MarkInterrupted().has_value();
    if (!usable_) Failed(store_.error());
    usable = usable_;
  }
  SayPending();
  return usable;
}

HistoryRecorder::PortState* HistoryRecorder::Port(int port) {
  return port >= 0 && port < static_cast<int>(ports_.size()) ? &ports_[static_cast<size_t>(port)] : nullptr;
}

void HistoryRecorder::SetJobFacts(int port, const RunFacts& facts) {
  std::lock_guard lock(mutex_);
  if (PortState* p = Port(port)) p->nextFacts = facts;
}

void HistoryRecorder::SetOnUnitEnded(std::function<void()> callback) {
  std::lock_guard lock(mutex_);
  onUnitEnded_ = std::move(callback);
}

void HistoryRecorder::OnJobStarted(const JobStart& start) {
  Begin(start);
  SayPending();
}

void HistoryRecorder::Begin(const JobStart& start) {
  std::lock_guard lock(mutex_);
  PortState* p = Port(start.port);
  if (!p) return;
  p->unit.reset();
  p->step.reset();
  p->record = UnitRecord{};
  p->record.unitId = start.instanceId;
  p->record.port = start.port + 1;
  p->record.socketPath = start.socketPath;
  p->record.facts = p->nextFacts;
  p->startUtcMs = utcNow_();
  p->record.startedUtc = IsoUtc(p->startUtcMs);
  if (!usable_) return;
  p->unit = store_.BeginUnit(p->record);
  if (!p->unit) Failed(store_.error());
  else p->record.id = *p->unit;
}

void HistoryRecorder::OnStep(int port, JobStep step, const std::string& item) {
  {
    std::lock_guard lock(mutex_);
    PortState* p = Port(port);
    if (!p || !p->unit) return;
    std::optional<int64_t> id = store_.BeginStep(*p->unit, p->step, JobStepName(step), item, IsoUtc(utcNow_()));
    if (!id) Failed(store_.error());
    p->step = id;  // after a failure the step is simply not ended
  }
  SayPending();
}

void HistoryRecorder::OnBytes(int port, uint64_t totalBytes) {
  std::lock_guard lock(mutex_);
  if (PortState* p = Port(port)) p->record.bytes = totalBytes;
}

void HistoryRecorder::OnJobEnded(const JobEnd& end) {
  std::function<void()> notify;
  {
    std::lock_guard lock(mutex_);
    PortState* p = Port(end.port);
    if (!p || !p->unit) return;
    UnitRecord& r = p->record;
    const int64_t endUtcMs = utcNow_();
    r.endedUtc = IsoUtc(endUtcMs);
    r.result = JobResultName(end.result);
    r.failedStep = end.result == JobResult::Ok ? std::string() : JobStepName(end.step);
    r.message = end.reason;
    r.bytes = end.bytes;
    // Real time: the station clock may run scaled (simulated handsets).
    r.elapsedMs = endUtcMs > p->startUtcMs ? static_cast<uint64_t>(endUtcMs - p->startUtcMs) : 0;
    r.mbPerS = r.elapsedMs > 0 ? static_cast<double>(end.bytes) / (static_cast<double>(r.elapsedMs) * 1000.0) : 0;
    if (store_.EndUnit(r, p->step, r.result)) {
      ++recorded_;
      notify = onUnitEnded_;
    } else {
      Failed(store_.error());
    }
    p->unit.reset();
    p->step.reset();
  }
  SayPending();
  if (notify) notify();
}

int HistoryRecorder::unitsRecorded() const {
  std::lock_guard lock(mutex_);
  return recorded_;
}

std::optional<std::vector<PortCounts>> HistoryRecorder::CountsSince(const std::string& fromUtc) {
  std::lock_guard lock(mutex_);
  if (!usable_) return std::nullopt;
  return store_.CountsSince(fromUtc);
}

std::optional<std::vector<PortCounts>> HistoryRecorder::CountsToday() { return CountsSince(LocalDayStartUtc(utcNow_())); }

void HistoryRecorder::WithStore(const std::function<void(LocalStore&)>& use) {
  std::lock_guard lock(mutex_);
  if (usable_) use(store_);
}

}  // namespace flashery
