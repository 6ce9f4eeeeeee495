// Test doubles of the device layer: a Transport that records every command
// and answers from a script, and the output a PortDevice reports to.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/port_device.h"
#include "device/transport.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "text/log_file.h"
#include "text/port_view.h"
#include "text/text_table.h"

namespace flashery::testing {

struct SentCommand {
  std::array<uint8_t, kCdbLength> cdb{};
  DataDirection direction = DataDirection::kNone;
  uint32_t length = 0;
  std::vector<uint8_t> data;  // what went to the handset (to-device only)
};

struct ScriptedReply {
  SendStatus status = SendStatus::kGood;
  int errorCode = 0;
  std::vector<uint8_t> data;  // for from-device commands
};

class FakeTransport final : public Transport {
 public:
  // Replies in order; once the script is used up every command is good.
  std::deque<ScriptedReply> script;
  std::vector<SentCommand> sent;
  std::vector<std::string> opened;
  int openError = 0;
  bool open = false;
  // Outlives the transport, so a test can see its owner closed it.
  std::shared_ptr<int> closes = std::make_shared<int>(0);

  OpenResult Open(const std::string& path) override {
    opened.push_back(path);
    if (openError != 0) return {false, openError};
    open = true;
    return {true, 0};
  }
  SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction,
                  uint8_t* data, uint32_t length, uint32_t) override {
    SentCommand c{cdb, direction, length, {}};
    if (direction == DataDirection::kToDevice && data) c.data.assign(data, data + length);
    sent.push_back(c);
    ScriptedReply r;
    if (!script.empty()) {
      r = script.front();
      script.pop_front();
    }
    SendResult out;
    out.status = r.status;
    out.errorCode = r.errorCode;
    if (r.status == SendStatus::kBadStatus) out.scsiStatus = 2;
    if (direction == DataDirection::kFromDevice && data) {
      size_t n = std::min<size_t>(length, r.data.size());
      std::copy(r.data.begin(), r.data.begin() + static_cast<long>(n), data);
      out.transferred = static_cast<uint32_t>(n);
    } else {
      out.transferred = length;
    }
    return out;
  }
  void Close() override {
    if (open) ++*closes;
    open = false;
  }
  bool IsOpen() const override { return open; }
};

// Text id n reads "T<n>" so tests can see which text was used.
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
