#include "app/run_record.h"

#include "app/json_text.h"

namespace flashery {

RunRecord::~RunRecord() {
  if (file_) std::fclose(file_);
}

bool RunRecord::Open(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (file_) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void RunRecord::Line(const std::string& json) {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  std::fputs(json.c_str(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
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

void RunRecord::Step(int port, const std::string& instanceId, const std::string& text, uint64_t bytes,
                     double seconds) {
  Line("{\"type\":\"step\",\"port\":" + std::to_string(port) + ",\"instanceId\":" + JsonQuote(instanceId) +
       ",\"text\":" + JsonQuote(text) + ",\"bytes\":" + std::to_string(bytes) + ",\"seconds\":" + Seconds(seconds) +
       "}");
}

void RunRecord::Summary(int port, const std::string& instanceId, bool ok, uint64_t bytes, double seconds) {
  Line("{\"type\":\"summary\",\"port\":" + std::to_string(port) + ",\"instanceId\":" + JsonQuote(instanceId) +
       ",\"result\":\"" + (ok ? "ok" : "failed") + "\",\"bytes\":" + std::to_string(bytes) +
       ",\"seconds\":" + Seconds(seconds) + "}");
}

void RunRecord::End(int status, const std::string& reason) {
  Line("{\"type\":\"end\",\"status\":" + std::to_string(status) + ",\"reason\":" + JsonQuote(reason) + "}");
}

}  // namespace flashery
