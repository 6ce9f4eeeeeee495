// PortRecord: what the station knows about the handset of one port, and
// the table of these records shared by the device monitor, the view and
// the port jobs.
//
// A port is bound to a handset exactly when its instanceId is not empty.
// The device monitor fills and clears records (see port_binding.h); the
// view marks a bound port as running when it starts a job (TryStartJob);
// the job marks it finished at its end (SetState(kPortFinished)) and polls
// Attached() while its handset restarts.
//
// The table is guarded by one mutex and records go in and out as whole
// copies, so no reader ever sees half a record. state and attached are
// mirrored in atomics, so the polling loops of the jobs and the view read
// them without taking the lock; every write goes through the lock and
// updates both.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace flashery {

constexpr int kPortCount = 8;     // "port 1" .. "port 8" are indices 0..7
constexpr int kRecordCount = 16;  // the table holds 16; the first 8 are ports

enum PortState : uint32_t {
  kPortIdle = 0,      // no job has run, or the record was cleared
  kPortRunning = 1,   // a job runs on this port
  kPortFinished = 2,  // the last job has ended
};

// Field limits of a record (characters, without a terminator).
constexpr size_t kProductTextMax = 32;
constexpr size_t kInstanceIdMax = 32;
constexpr size_t kDevicePathMax = 261;

struct PortRecord {
  uint32_t state = kPortIdle;
  uint32_t attached = 0;    // 1 while the handset is on the bus
  std::string productText;  // device path after "prod_" up to the next '&'
  std::string instanceId;   // instance part of the path; empty = no handset
  std::string devicePath;   // the full interface path
  std::string openPath;     // what the Transport opens (SCSI generic node, socket)
  std::string socketPath;   // the USB socket the handset is plugged into ("1-1.3"); empty when unknown

  bool bound() const { return !instanceId.empty(); }
  bool operator==(const PortRecord&) const = default;
};

class PortRecordTable {
 public:
  PortRecordTable() = default;
  PortRecordTable(const PortRecordTable&) = delete;
  PortRecordTable& operator=(const PortRecordTable&) = delete;

  // A whole copy of record `index` (0..15); an empty record outside.
  PortRecord Get(int index) const;
  void Set(int index, const PortRecord& record);
  void ClearAll();

  // Lock-free reads for polling loops; 0 outside 0..15.
  uint32_t State(int index) const;
  uint32_t Attached(int index) const;
  void SetState(int index, uint32_t state);

  // Marks a bound port that is not running as running; false (and no
  // change) when the port is empty or a job already runs, so a start can
  // never race with the monitor clearing the port.
  bool TryStartJob(int port);

  // Runs `change` on all records under the lock (the monitor's scan).
  void Update(const std::function<void(std::array<PortRecord, kRecordCount>&)>& change);

  // Handsets found by the monitor's last scan, at most 8.
  uint32_t connectedCount() const { return connectedCount_.load(); }
  void SetConnectedCount(uint32_t n) { connectedCount_.store(n > kPortCount ? kPortCount : n); }

 private:
  void SyncLocked(int index);

  mutable std::mutex mutex_;
  std::array<PortRecord, kRecordCount> records_{};
  std::array<std::atomic<uint32_t>, kRecordCount> state_{};
  std::array<std::atomic<uint32_t>, kRecordCount> attached_{};
  std::atomic<uint32_t> connectedCount_{0};
};

}  // namespace flashery
