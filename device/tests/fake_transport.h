// Test doubles of the device layer: a Transport that records every command
// and answers from a script, texts that name their own ids, and a view
// that records the status line.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "device/transport.h"
#include "platform/profile.h"
#include "text/port_view.h"
#include "text/text_table.h"

namespace flashery::testing {

struct SentCommand {
  std::array<uint8_t, kCdbLength> cdb{};
  uint32_t length = 0;
  std::vector<uint8_t> data;  // what went to the handset
};

struct ScriptedReply {
  SendStatus status = SendStatus::kGood;
  int errorCode = 0;
  std::vector<uint8_t> data;  // returned by a from-device command
  std::vector<uint8_t> sense;  // kept with a bad status
};

class FakeTransport final : public Transport {
 public:
  std::deque<ScriptedReply> script;  // used up in order, then all good
  std::vector<SentCommand> sent;
  std::vector<std::string> opened;
  std::vector<std::string> openedAs;  // the instance id each open asked for
  int openError = 0;
  bool open = false;
  std::shared_ptr<int> closes = std::make_shared<int>(0);  // outlives the transport

  OpenResult Open(const std::string& path) override {
    opened.push_back(path);
    open = openError == 0;
    return {open, openError};
  }
  OpenResult OpenHandset(const std::string& path, const std::string& instanceId) override {
    openedAs.push_back(instanceId);
    return Open(path);
  }
  SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction,
                  uint8_t* data, uint32_t length, uint32_t) override {
    sent.push_back({cdb, length, {}});
    if (direction == DataDirection::kToDevice) sent.back().data.assign(data, data + length);
    ScriptedReply r;
    if (!script.empty()) r = script.front(), script.pop_front();
    SendResult out;
    out.status = r.status;
    out.errorCode = r.errorCode;
    out.senseLength = static_cast<uint8_t>(std::min(r.sense.size(), out.sense.size()));
    std::copy_n(r.sense.begin(), out.senseLength, out.sense.begin());
    if (direction == DataDirection::kFromDevice) {
      size_t n = std::min<size_t>(length, r.data.size());
      std::copy_n(r.data.begin(), n, data);
      out.transferred = static_cast<uint32_t>(n);
    }
    return out;
  }
  void Close() override {
    if (open) ++*closes;
    open = false;
  }
  bool IsOpen() const override { return open; }
};

// Text id n reads "T<n>".
inline TextTable NumberedTexts() {
  std::string ini = "[Text]\n";
  for (int id = 0; id < TextTable::kCount; ++id)
    ini += std::to_string(100 + id) + "=T" + std::to_string(id) + "\n";
  TextTable t;
  t.LoadFrom(ProfileDocument::Parse(ini));
  return t;
}

struct RecordingView final : PortView {
  std::vector<std::string> texts;
  std::vector<uint32_t> positions;
  void SetStatusText(int, const std::string& t) override { texts.push_back(t); }
  void SetProgress(int, uint32_t p) override { positions.push_back(p); }
  void JobEnded(int, bool) override {}
};

}  // namespace flashery::testing
