// A correct station in a few lines, for driving the handset model in tests:
// builds each vendor command block from the command table and plays the
// station's sequences (readiness polls, plain images, file blocks with
// sequence numbers, EndFile with size and check register).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "package/crc16.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"
#include "sim/handset_model.h"

namespace flashery::sim::testing {

using Cdb = std::array<uint8_t, 16>;
using Bytes = std::vector<uint8_t>;

inline Cdb Vendor(uint8_t group, uint8_t sub) {
  Cdb c{};
  c[0] = c[1] = 0xFF;
  c[2] = group;
  c[3] = sub;
  return c;
}
inline void Put16(Cdb& c, int at, uint32_t v) {
  c[at] = static_cast<uint8_t>(v);
  c[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(Cdb& c, int at, uint32_t v) {
  for (int i = 0; i < 4; ++i) c[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline Cdb CheckAliveCdb() { return Vendor(1, 1); }
inline Cdb OpenDownloadCdb() { Cdb c = Vendor(5, 6); c[8] = 1; return c; }
inline Cdb QueryStateCdb() { return Vendor(5, 1); }
inline Cdb BeginImageCdb(uint8_t code, uint32_t size) {
  Cdb c = Vendor(5, 2); c[8] = code; Put32(c, 10, size); return c;
}
inline Cdb EndImageCdb(uint8_t code, uint32_t size) {
  Cdb c = Vendor(5, 5); c[8] = code; Put32(c, 10, size); return c;
}
inline Cdb ImageBlockCdb(const uint8_t* data, uint32_t n, bool last) {
  Cdb c = Vendor(5, 3); Put16(c, 4, n); Put16(c, 6, BlockCheckValue(data, n)); c[8] = last; return c;
}
inline Cdb FileBlockCdb(const uint8_t* data, uint32_t n, bool last, uint16_t seq) {
  Cdb c = ImageBlockCdb(data, n, last); Put16(c, 12, seq); return c;
}
inline Cdb CommitSegmentCdb(uint8_t code, uint32_t length, uint8_t number, bool last) {
  Cdb c = Vendor(5, 8); c[8] = code; Put32(c, 10, length); c[14] = number; c[15] = last; return c;
}
inline Cdb SegmentCheckCdb(uint8_t code, uint32_t value) {
  Cdb c = Vendor(5, 7); c[8] = code; Put32(c, 10, value); return c;
}
inline Cdb AbortImageCdb() { return Vendor(5, 4); }
inline Cdb FinishImagesCdb(bool flag) { Cdb c = Vendor(3, 1); c[8] = flag; return c; }
inline Cdb RestartCdb(bool commandLine) { Cdb c = Vendor(3, 2); c[8] = commandLine; return c; }
inline Cdb SelectModeCdb() { Cdb c = Vendor(2, 6); c[8] = 3; return c; }
inline Cdb PrepareCdb(uint8_t mode) { Cdb c = Vendor(3, mode); Put16(c, 8, 1); return c; }
inline Cdb PollStorageCdb(uint8_t mode) {
  Cdb c = Vendor(3, mode); Put16(c, 4, 0x0400); Put16(c, 8, 2); return c;
}
inline Cdb NameCdb(uint8_t sub, size_t length) { Cdb c = Vendor(5, sub); Put16(c, 4, static_cast<uint32_t>(length)); return c; }
inline Cdb EndFileCdb(uint32_t size, uint32_t check) {
  Cdb c = Vendor(5, 5); Put32(c, 8, size); Put32(c, 12, check); return c;
}
inline Cdb FinishFileSetsCdb() { return Vendor(4, 3); }
inline Cdb StartCompletionCdb() { Cdb c = Vendor(4, 1); c[8] = 1; return c; }
inline Cdb PollCompletionCdb() { Cdb c = Vendor(4, 1); c[4] = 0x32; c[8] = 2; return c; }

inline Bytes Pattern(size_t n, uint32_t seed) {
  Bytes b(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& v : b) {
    x = x * 1103515245u + 12345u;
    v = static_cast<uint8_t>(x >> 16);
  }
  return b;
}

class ScriptedStation {
 public:
  ScriptedStation(HandsetModel& model, FakeClock& clock) : model_(model), clock_(clock) {}

  HandsetReply Send(const Cdb& cdb, uint8_t direction = kDirNone, const uint8_t* data = nullptr,
                    uint32_t length = 0) {
    HandsetCommand c;
    c.direction = direction;
    std::copy(cdb.begin(), cdb.end(), c.cdb);
    c.dataLength = length;
    c.data = direction == kDirToDevice ? data : nullptr;
    return model_.Execute(c);
  }
  bool Ok(const Cdb& cdb, uint8_t direction = kDirNone, const uint8_t* data = nullptr,
          uint32_t length = 0) {
    return Send(cdb, direction, data, length).scsiStatus == kStatusGood;
  }
  bool Out(const Cdb& cdb, const Bytes& data) {
    return Ok(cdb, kDirToDevice, data.data(), static_cast<uint32_t>(data.size()));
  }
  // 300 polls 400 ms apart, as the station waits for readiness.
  bool WaitReady(int polls = 300) {
    for (int i = 0; i < polls; ++i) {
      HandsetReply r = Send(QueryStateCdb(), kDirFromDevice, nullptr, 4);
      if (r.scsiStatus != kStatusGood || r.data.size() != 4) return false;
      if (r.data[0] == 2) return true;
      clock_.SleepMs(400);
    }
    return false;
  }
  bool OpenDownload() { return Ok(OpenDownloadCdb()); }

  // Full blocks, the last one shorter.
  bool SendImage(uint8_t code, const Bytes& image) {
    uint32_t size = static_cast<uint32_t>(image.size());
    if (!WaitReady() || !Ok(BeginImageCdb(code, size))) return false;
    for (uint32_t sent = 0; sent < size;) {
      uint32_t n = std::min(0xFE00u, size - sent);
      if (!Ok(ImageBlockCdb(&image[sent], n, sent + n == size), kDirToDevice, &image[sent], n)) return false;
      sent += n;
    }
    return Ok(EndImageCdb(code, size));
  }

  // RestartHandset or SelectMode, then the server's part: leave and rejoin.
  bool Leave(const Cdb& cdb) {
    HandsetReply r = Send(cdb, kDirFromDevice, nullptr, 0);
    if (r.scsiStatus != kStatusGood || !r.leaveBus) return false;
    BusReturn back = model_.LeaveBus();
    if (!back.comesBack) return false;
    clock_.SleepMs(back.offBusMs);
    model_.Rejoin();
    return true;
  }
  bool ToStorageStage() {
    return WaitReady() && Ok(FinishImagesCdb(true)) && WaitReady() && Leave(RestartCdb(false)) &&
           WaitReady() && Leave(SelectModeCdb()) && Ok(CheckAliveCdb());
  }

  std::string PollStorageText(uint8_t mode) {
    HandsetReply r = Send(PollStorageCdb(mode), kDirFromDevice, nullptr, 1024);
    if (r.scsiStatus != kStatusGood || r.data.size() != 1024) return "<failed>";
    return std::string(reinterpret_cast<const char*>(r.data.data()));
  }
  bool Prepare(uint8_t mode) {
    if (!Ok(PrepareCdb(mode))) return false;
    std::string want = mode == 1 ? "end=p1=1:p2=1:p3=1:p4=1" : "1";
    for (int i = 0; i < 500; ++i) {
      clock_.SleepMs(500);
      if (PollStorageText(mode) == want) return true;
    }
    return false;
  }

  bool CreateFolder(const std::string& name) {
    return Out(NameCdb(1, name.size()), Bytes(name.begin(), name.end()));
  }
  bool BeginFile(const std::string& name) {
    return Out(NameCdb(2, name.size()), Bytes(name.begin(), name.end()));
  }
  bool SendFile(const std::string& name, const Bytes& content) {
    if (!BeginFile(name)) return false;
    uint32_t check = 0;
    uint16_t seq = 1;
    for (size_t sent = 0; sent < content.size();) {
      uint32_t n = static_cast<uint32_t>(std::min<size_t>(0xFE00, content.size() - sent));
      bool last = sent + n == content.size();
      check = Crc16Update(&content[sent], n, check);
      if (!Ok(CheckAliveCdb()) ||
          !Ok(FileBlockCdb(&content[sent], n, last, seq), kDirToDevice, &content[sent], n))
        return false;
      seq = static_cast<uint16_t>(seq % 9 + 1);
      sent += n;
    }
    return Ok(EndFileCdb(static_cast<uint32_t>(content.size()), check));
  }
  bool WaitCompletion() {
    if (!Ok(StartCompletionCdb())) return false;
    for (int r = 0; r < 20; ++r) {
      clock_.SleepMs(500);
      HandsetReply reply = Send(PollCompletionCdb(), kDirFromDevice, nullptr, 50);
      if (reply.scsiStatus == kStatusGood && reply.data.size() == 50 && reply.data[0] == '1' &&
          reply.data[1] == 0)
        return true;
    }
    return false;
  }

 private:
  HandsetModel& model_;
  FakeClock& clock_;
};

// One handset SIM0001 in a fresh folder, a fake clock and a station.
struct ModelBench {
  flashery::testing::TempDir dir;
  FakeClock clock;
  HandsetModel model;
  ScriptedStation station{model, clock};

  explicit ModelBench(FaultList faults = {}) : model(Config(dir.path(), std::move(faults)), clock) {
    model.PowerOn();
  }
  static HandsetConfig Config(const std::string& dir, FaultList faults) {
    HandsetConfig c;
    c.serial = "SIM0001";
    c.folder = dir + "/SIM0001";
    c.faults = std::move(faults);
    return c;
  }
  std::string Path(const std::string& relative) { return dir.path() + "/SIM0001/" + relative; }
  Bytes Stored(const std::string& relative) {
    auto s = ReadWholeFile(Path(relative));
    return s ? Bytes(s->begin(), s->end()) : Bytes{};
  }
  const std::vector<Rejection>& rejected() { return model.report().rejected; }
  std::string LastReason() { return rejected().empty() ? "" : rejected().back().reason; }
  bool ToStorage() { return station.OpenDownload() && station.ToStorageStage(); }
};

}  // namespace flashery::sim::testing
