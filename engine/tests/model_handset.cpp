#include "model_handset.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace flashery::test {

namespace {

class ModelTransport final : public Transport {
 public:
  explicit ModelTransport(std::shared_ptr<ModelHandset> h) : h_(std::move(h)) {}
  ~ModelTransport() override { Close(); }
  OpenResult Open(const std::string& path) override {
    Close();
    OpenResult r;
    r.ok = h_->Connect(path, epoch_, r.errorCode);
    open_ = r.ok;
    return r;
  }
  SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection dir, uint8_t* data,
                  uint32_t length, uint32_t timeoutMs) override {
    if (!open_) {
      SendResult r;
      r.errorCode = ENOTCONN;
      return r;
    }
    return h_->Exchange(epoch_, cdb, dir, data, length, timeoutMs);
  }
  void Close() override {
    if (open_) h_->Disconnect(epoch_);
    open_ = false;
  }
  bool IsOpen() const override { return open_; }

 private:
  std::shared_ptr<ModelHandset> h_;
  int epoch_ = -1;
  bool open_ = false;
};

}  // namespace

ModelHandset::ModelHandset(sim::HandsetConfig config, PortRecordTable& records, int port, Clock& clock)
    : config_(config), records_(records), port_(port), clock_(clock), model_(std::move(config), clock) {}

bool ModelHandset::PowerOn() {
  std::lock_guard lock(mutex_);
  return model_.PowerOn();
}

std::string ModelHandset::OpenPathLocked() const {
  return "model:" + model_.busSerial() + ":" + std::to_string(generation_);
}

PortRecord ModelHandset::RecordLocked() const {
  PortRecord r;
  r.state = records_.State(port_);
  r.attached = 1;
  r.devicePath = model_.interfacePath();
  r.instanceId = model_.busSerial();
  r.productText = "quillon_" + config_.model;
  r.openPath = OpenPathLocked();
  return r;
}

PortRecord ModelHandset::Record() const {
  std::lock_guard lock(mutex_);
  return RecordLocked();
}

std::unique_ptr<Transport> ModelHandset::NewTransport() {
  return std::make_unique<ModelTransport>(shared_from_this());
}

sim::HandsetReport ModelHandset::Report() const {
  std::lock_guard lock(mutex_);
  return model_.report();
}

void ModelHandset::Tick(uint64_t nowMs) {
  enum { kNone, kLeft, kBack } event = kNone;
  PortRecord back;
  {
    std::lock_guard lock(mutex_);
    if (leaving_ && nowMs >= leaveAt_) {
      leaving_ = false;
      sim::BusReturn r = model_.LeaveBus();
      onBus_ = false;
      connected_ = false;
      ++epoch_;
      returning_ = r.comesBack;
      returnAt_ = nowMs + r.offBusMs;
      event = kLeft;
    } else if (returning_ && nowMs >= returnAt_) {
      returning_ = false;
      model_.Rejoin();
      onBus_ = true;
      if (recordShowsLeave) ++generation_;
      back = RecordLocked();
      event = kBack;
    }
  }
  if (!recordShowsLeave) return;
  PortRecord cur = records_.Get(port_);
  if (event == kLeft) {
    cur.attached = 0;
    records_.Set(port_, cur);
  } else if (event == kBack && back.instanceId == cur.instanceId) {
    // Another serial is a new handset to the monitor: the port stays detached.
    back.state = cur.state;
    records_.Set(port_, back);
  }
}

void ModelHandset::Pull() {
  {
    std::lock_guard lock(mutex_);
    onBus_ = false;
    connected_ = false;
    leaving_ = returning_ = false;
    ++epoch_;
  }
  PortRecord cur = records_.Get(port_);
  cur.attached = 0;
  records_.Set(port_, cur);
}

bool ModelHandset::Connect(const std::string& path, int& epoch, int& error) {
  Tick(clock_.NowMs());
  std::lock_guard lock(mutex_);
  error = 0;
  if (!onBus_ || path != OpenPathLocked()) error = ENOENT;
  else if (connected_) error = EBUSY;
  else if (openFailures > 0 && openFailures--) error = EIO;
  if (error) return false;
  connected_ = true;
  epoch = epoch_;
  return true;
}

void ModelHandset::Disconnect(int epoch) {
  std::lock_guard lock(mutex_);
  if (epoch == epoch_) {
    connected_ = false;
    model_.ConnectionClosed();
  }
}

SendResult ModelHandset::Exchange(int epoch, const std::array<uint8_t, kCdbLength>& cdb,
                                  DataDirection dir, uint8_t* data, uint32_t length,
                                  uint32_t timeoutMs) {
  if (beforeCommand) beforeCommand(cdb);
  Tick(clock_.NowMs());
  SendResult r = ExchangeLocked(epoch, cdb, dir, data, length);
  // A command without an answer costs the station its whole time-out.
  if (r.errorCode == ETIMEDOUT) clock_.SleepMs(timeoutMs);
  return r;
}

SendResult ModelHandset::ExchangeLocked(int epoch, const std::array<uint8_t, kCdbLength>& cdb,
                                        DataDirection dir, uint8_t* data, uint32_t length) {
  std::lock_guard lock(mutex_);
  SendResult r;
  r.errorCode = ENODEV;
  if (epoch != epoch_ || !onBus_) return r;
  sim::HandsetCommand c;
  c.direction = static_cast<uint8_t>(dir);
  std::copy(cdb.begin(), cdb.end(), c.cdb);
  c.dataLength = length;
  c.data = dir == DataDirection::kToDevice ? data : nullptr;
  sim::HandsetReply reply = model_.Execute(c);
  if (reply.timing == sim::ReplyTiming::kDropConnection) {
    ++epoch_;  // the link is gone
    connected_ = false;
    return r;
  }
  if (reply.timing != sim::ReplyTiming::kNow) {
    // No answer in time; as on the socket bus the connection stays usable
    // (the late answer is never seen).
    r.errorCode = ETIMEDOUT;
    return r;
  }
  if (dir == DataDirection::kFromDevice && length > 0) {
    size_t n = std::min<size_t>(reply.data.size(), length);
    std::memcpy(data, reply.data.data(), n);
    r.transferred = static_cast<uint32_t>(n);
  } else if (dir == DataDirection::kToDevice) {
    r.transferred = length;
  }
  r.scsiStatus = reply.scsiStatus;
  r.status = reply.scsiStatus == 0 ? SendStatus::kGood : SendStatus::kBadStatus;
  if (!r.good()) r.errorCode = EIO;
  if (reply.leaveBus) {
    ++epoch_;  // the handset closes the connection after answering a restart
    connected_ = false;
    leaving_ = true;
    leaveAt_ = clock_.NowMs() + config_.timings.leaveDelayMs;
  }
  return r;
}

}  // namespace flashery::test
