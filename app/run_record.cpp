#include "app/run_record.h"

#include "platform/clock.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "app/json_text.h"
#include "text/prompter.h"
#include "text/record_file.h"

namespace flashery {

RunRecord::~RunRecord() {
  if (fd_ >= 0) ::close(fd_);
}

bool RunRecord::Open(const std::string& path, std::string* reason) {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd_ < 0 && reason) *reason = ErrorText(errno);
  path_ = path;
  written_ = 0;
  failed_ = false;
  problem_.clear();
  return fd_ >= 0;
}

void RunRecord::SetReporter(Prompter* prompter, const TextTable* texts) {
  std::lock_guard lock(mutex_);
  prompter_ = prompter;
  texts_ = texts;
}

bool RunRecord::isOpen() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

std::string RunRecord::path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

std::string RunRecord::problem() const {
  std::lock_guard lock(mutex_);
  return problem_;
}

std::string RunRecord::FailLocked(int error) {
  if (failed_) return {};
  failed_ = true;
  problem_ = RecordIncompleteMessage(texts_, path_, ErrorText(error));
  return problem_;
}

void RunRecord::Say(const std::string& message) {
  if (message.empty()) return;
  Prompter* prompter = nullptr;
  {
    std::lock_guard lock(mutex_);
    prompter = prompter_;
  }
  if (prompter) prompter->Prompt(message, kAppTitle, PromptButtons::Ok);
}

void RunRecord::Line(const std::string& json) {
  std::string message;
  {
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || failed_) return;
    std::string line = json + "\n";
    int error = WriteAllChecked(fd_, line);
    if (error == 0) {
      written_ += line.size();
    } else {
      // Half a line would spoil the lines after it for every reader.
      if (::ftruncate(fd_, static_cast<off_t>(written_)) == 0) ::lseek(fd_, static_cast<off_t>(written_), SEEK_SET);
      message = FailLocked(error);
    }
  }
  Say(message);
}

bool RunRecord::Close() {
  std::string message;
  bool complete = false;
  {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) {
      int error = 0;
      // A device or pipe cannot be synced (EINVAL) and has nothing waiting.
      if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) error = errno;
      if (::close(fd_) != 0 && error == 0 && errno != EINTR) error = errno;
      fd_ = -1;
      if (error != 0) message = FailLocked(error);
    }
    complete = !failed_;
  }
  Say(message);
  return complete;
}

static std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", s);
  return buf;
}

void RunRecord::Start(int ports, const std::string& package, const std::string& localTime) {
  Line("{\"type\":\"start\",\"ports\":" + std::to_string(ports) + ",\"package\":" + JsonQuote(package) +
       ",\"time\":" + JsonQuote(localTime) + "}");
}

void RunRecord::Step(int port, const std::string& instanceId, const std::string& step, const std::string& item,
                     uint64_t bytes, double seconds) {
  std::string text = item.empty() ? step : step + " " + item;
  Line("{\"type\":\"step\",\"port\":" + std::to_string(port) + ",\"instanceId\":" + JsonQuote(instanceId) +
       ",\"step\":" + JsonQuote(step) + ",\"item\":" + JsonQuote(item) + ",\"text\":" + JsonQuote(text) +
       ",\"bytes\":" + std::to_string(bytes) + ",\"seconds\":" + Seconds(seconds) + "}");
}

void RunRecord::Summary(const UnitSummary& u) {
  std::string line = "{\"type\":\"summary\",\"port\":" + std::to_string(u.port) +
                     ",\"instanceId\":" + JsonQuote(u.instanceId) + ",\"result\":\"" + JobResultName(u.result) + "\"";
  if (u.result != JobResult::Ok) line += ",\"reason\":" + JsonQuote(u.reason);
  line += ",\"socket\":" + JsonQuote(u.socket) + ",\"bytes\":" + std::to_string(u.bytes) +
          ",\"seconds\":" + Seconds(u.seconds) + "}";
  Line(line);
}

void RunRecord::End(int status, const std::string& reason) {
  Line("{\"type\":\"end\",\"status\":" + std::to_string(status) + ",\"reason\":" + JsonQuote(reason) + "}");
}

void RunRecordListener::OnJobStarted(const JobStart& start) {
  if (start.port < 0 || start.port >= 8) return;
  std::lock_guard lock(mutex_);
  units_[static_cast<size_t>(start.port)] = Unit{start.instanceId, start.socketPath, start.timeMs, 0, true};
}

void RunRecordListener::OnStep(int port, JobStep step, const std::string& item) {
  if (port < 0 || port >= 8) return;
  Unit u;
  {
    std::lock_guard lock(mutex_);
    u = units_[static_cast<size_t>(port)];
  }
  if (!u.started) return;  // no job of this run
  uint64_t now = clock_.NowMs();
  double seconds = now > u.startMs ? static_cast<double>(now - u.startMs) / 1000.0 : 0.0;
  record_.Step(port + 1, u.instanceId, JobStepName(step), item, u.bytes, seconds);
}

void RunRecordListener::OnBytes(int port, uint64_t totalBytes) {
  if (port < 0 || port >= 8) return;
  std::lock_guard lock(mutex_);
  units_[static_cast<size_t>(port)].bytes = totalBytes;
}

void RunRecordListener::OnJobEnded(const JobEnd& end) {
  if (end.port < 0 || end.port >= 8) return;
  Unit u;
  {
    std::lock_guard lock(mutex_);
    u = units_[static_cast<size_t>(end.port)];
  }
  UnitSummary s;
  s.port = end.port + 1;
  s.instanceId = end.instanceId.empty() ? u.instanceId : end.instanceId;
  s.socket = u.socket;
  s.result = end.result;
  s.reason = end.reason;
  s.bytes = end.bytes;
  s.seconds = static_cast<double>(end.elapsedMs) / 1000.0;
  record_.Summary(s);
}

}  // namespace flashery
