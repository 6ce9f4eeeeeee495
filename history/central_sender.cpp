#include "history/central_sender.h"

namespace flashery {

CentralSender::CentralSender(HistoryRecorder& recorder, std::string conninfo, Clock& clock,
                             std::function<void(const std::string&)> note)
    : recorder_(recorder), store_(std::move(conninfo)), clock_(clock), note_(std::move(note)) {}

CentralSender::~CentralSender() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::optional<int> CentralSender::SendPending(std::string* why) {
  int sent = 0;
  for (;;) {
    std::optional<std::vector<UnitRecord>> batch;
    std::string local;
    recorder_.WithStore([&](LocalStore& s) {
      batch = s.Unsent(100);
      if (!batch) local = s.error();
    });
    if (!batch) {
      if (why) *why = local.empty() ? "the local history store is not open" : local;
      return std::nullopt;
    }
    if (batch->empty()) return sent;
    if (!store_.Send(*batch, why)) return std::nullopt;
    std::vector<int64_t> ids;
    for (const UnitRecord& u : *batch) ids.push_back(u.id);
    bool marked = false;
    recorder_.WithStore([&](LocalStore& s) {
      marked = s.MarkSent(ids);
      if (!marked) local = s.error();
    });
    if (!marked) {
      if (why) *why = local;
      return std::nullopt;
    }
    sent += static_cast<int>(ids.size());
  }
}

void CentralSender::Note(bool ok, int sent, const std::string& why) {
  if (!note_) return;
  if (!ok && !failing_) note_("the central history database does not take records now; they wait in the local store (" + why + ")");
  if (ok && failing_) note_("the central history database answers again: " + std::to_string(sent) + " queued units sent");
  failing_ = !ok;
}

void CentralSender::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Run(); });
}

void CentralSender::Run() {
  uint64_t lastTry = clock_.NowMs();
  bool retry = true;  // send at once
  while (!stop_) {
    if (wake_.exchange(false) || (retry && clock_.NowMs() - lastTry >= (failing_ ? kRetryMs : 0))) {
      std::string why;
      std::optional<int> sent = SendPending(&why);
      Note(sent.has_value(), sent.value_or(0), why);
      retry = !sent;
      lastTry = clock_.NowMs();
    }
    clock_.SleepMs(kPollMs);
  }
}

bool CentralSender::Finish() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  std::string why;
  std::optional<int> sent = SendPending(&why);
  Note(sent.has_value(), sent.value_or(0), why);
  return sent.has_value();
}

}  // namespace flashery
