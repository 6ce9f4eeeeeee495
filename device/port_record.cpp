#include "device/port_record.h"

namespace flashery {

namespace {
bool InRange(int index) { return index >= 0 && index < kRecordCount; }
}  // namespace

PortRecord PortRecordTable::Get(int index) const {
  if (!InRange(index)) return {};
  std::lock_guard lock(mutex_);
  return records_[static_cast<size_t>(index)];
}

void PortRecordTable::Set(int index, const PortRecord& record) {
  if (!InRange(index)) return;
  std::lock_guard lock(mutex_);
  records_[static_cast<size_t>(index)] = record;
  SyncLocked(index);
}

void PortRecordTable::ClearAll() {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < kRecordCount; ++i) {
    records_[static_cast<size_t>(i)] = PortRecord{};
    SyncLocked(i);
  }
}

uint32_t PortRecordTable::State(int index) const {
  return InRange(index) ? state_[static_cast<size_t>(index)].load() : 0;
}

uint32_t PortRecordTable::Attached(int index) const {
  return InRange(index) ? attached_[static_cast<size_t>(index)].load() : 0;
}

void PortRecordTable::SetState(int index, uint32_t state) {
  if (!InRange(index)) return;
  std::lock_guard lock(mutex_);
  records_[static_cast<size_t>(index)].state = state;
  SyncLocked(index);
}

bool PortRecordTable::TryStartJob(int port) {
  if (port < 0 || port >= kPortCount) return false;
  std::lock_guard lock(mutex_);
  PortRecord& r = records_[static_cast<size_t>(port)];
  if (!r.bound() || r.state == kPortRunning) return false;
  r.state = kPortRunning;
  SyncLocked(port);
  return true;
}

void PortRecordTable::Update(
    const std::function<void(std::array<PortRecord, kRecordCount>&)>& change) {
  std::lock_guard lock(mutex_);
  change(records_);
  for (int i = 0; i < kRecordCount; ++i) SyncLocked(i);
}

void PortRecordTable::SyncLocked(int index) {
  const PortRecord& r = records_[static_cast<size_t>(index)];
  state_[static_cast<size_t>(index)].store(r.state);
  attached_[static_cast<size_t>(index)].store(r.attached);
}

}  // namespace flashery
