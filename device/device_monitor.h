// DeviceMonitor: the background thread that keeps the port records in step
// with the handsets on the bus. Start clears all 16 records once, then the
// thread scans every 50 ms (through the Clock): discovery of every handset
// of the maker, the binding decision of port_binding.h with the current
// model filter applied to the table under its lock, the panel updates
// (outside the lock), a 200 ms pause per refreshed running port, and
// connectedCount.
//
// The thread is a std::jthread and stops on its stop flag: Stop (or the
// destructor) requests the stop and joins; it never kills the thread in
// the middle of a scan. The model filter may be changed from any thread at
// any time; it takes effect at the next scan, for ports without a running
// job only.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "config/station_line.h"
#include "device/handset_bus.h"
#include "device/panel_updater.h"
#include "device/port_record.h"

namespace flashery {

class Clock;

constexpr uint32_t kScanPauseMs = 50;

class DeviceMonitor {
 public:
  // panels may be null (no view, e.g. the unattended mode).
  DeviceMonitor(HandsetBus& bus, PortRecordTable& records, PanelUpdater* panels, Clock& clock);
  ~DeviceMonitor();
  DeviceMonitor(const DeviceMonitor&) = delete;
  DeviceMonitor& operator=(const DeviceMonitor&) = delete;

  void SetModelFilter(std::string model);
  std::string modelFilter() const;
  // The socket map of the binding (empty: none); takes effect at the next
  // scan.
  void SetPortMap(const PortMap& map);

  // Clears the records and starts the thread (does nothing when running).
  void Start();
  // Asks the thread to stop and waits for it to finish its current step.
  void Stop();
  bool running() const { return thread_.joinable(); }

  // One scan, on the caller's thread, without the 50 ms pause (the thread
  // body; tests call it directly). Returns the refresh pauses it owes.
  int ScanOnce();
  uint64_t scanCount() const { return scans_.load(); }

 private:
  void Run(std::stop_token stop);

  HandsetBus& bus_;
  PortRecordTable& records_;
  PanelUpdater* panels_;
  Clock& clock_;
  mutable std::mutex modelMutex_;
  std::string model_;
  PortMap map_{};
  std::atomic<uint64_t> scans_{0};
  std::jthread thread_;
};

}  // namespace flashery
