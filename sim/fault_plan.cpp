#include "sim/fault_plan.h"

namespace flashery::sim {

namespace {

bool Hits(const std::vector<CommandFault>& faults, CommandKind kind, uint32_t occurrence) {
  for (const auto& f : faults) {
    if (f.kind != kind || occurrence < f.from) continue;
    if (f.times == kAlways || occurrence - f.from < f.times) return true;
  }
  return false;
}

}  // namespace

bool FaultList::empty() const {
  return refuse.empty() && late.empty() && rejectBlocks.empty() && dropAtBlock == 0 && pullAtBlock == 0 &&
         !neverReady && neverReturnAfter == 0 && !otherSerial && wrongPollStorage == 0 &&
         wrongPollCompletion == 0 && !silent;
}

bool ParseCount(std::string_view text, uint32_t& out) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v == 0 || v > 1000000000) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

bool ParseCommandFault(std::string_view text, CommandFault& out, std::string& error) {
  CommandFault f;
  size_t at = text.find('@');
  if (at != std::string_view::npos) {
    if (!ParseCount(text.substr(at + 1), f.from)) {
      error = "bad occurrence after @ in '" + std::string(text) + "'";
      return false;
    }
    text = text.substr(0, at);
  }
  size_t colon = text.find(':');
  if (colon != std::string_view::npos) {
    if (!ParseCount(text.substr(colon + 1), f.times)) {
      error = "bad count after : in '" + std::string(text) + "'";
      return false;
    }
    text = text.substr(0, colon);
  }
  auto kind = CommandKindFromName(text);
  if (!kind) {
    error = "unknown command '" + std::string(text) + "'";
    return false;
  }
  f.kind = *kind;
  out = f;
  return true;
}

bool ParseBlockFault(std::string_view text, BlockFault& out, std::string& error) {
  BlockFault f;
  size_t at = text.find('@');
  if (at != std::string_view::npos) {
    f.target = std::string(text.substr(at + 1));
    text = text.substr(0, at);
    if (f.target.empty()) {
      error = "empty transfer after @";
      return false;
    }
  }
  size_t colon = text.find(':');
  std::string_view block = text.substr(0, colon);
  if (!ParseCount(block, f.block) ||
      (colon != std::string_view::npos && !ParseCount(text.substr(colon + 1), f.times))) {
    error = "bad block fault '" + std::string(text) + "' (K[:N][@TRANSFER])";
    return false;
  }
  out = f;
  return true;
}

FaultPlan::FaultPlan(FaultList faults)
    : faults_(std::move(faults)),
      storageLeft_(faults_.wrongPollStorage),
      completionLeft_(faults_.wrongPollCompletion) {
  for (const auto& b : faults_.rejectBlocks) blockLeft_.push_back(b.times);
}

uint32_t FaultPlan::Occur(CommandKind kind) {
  uint32_t& n = occurrences_[static_cast<size_t>(kind)];
  if (n < UINT32_MAX) ++n;
  return n;
}

bool FaultPlan::Refused(CommandKind kind, uint32_t occurrence) const {
  return Hits(faults_.refuse, kind, occurrence);
}

bool FaultPlan::Late(CommandKind kind, uint32_t occurrence) const {
  return Hits(faults_.late, kind, occurrence);
}

bool FaultPlan::RejectBlock(uint32_t index, std::string_view target) {
  for (size_t i = 0; i < faults_.rejectBlocks.size(); ++i) {
    const auto& b = faults_.rejectBlocks[i];
    if (blockLeft_[i] == 0 || b.block != index) continue;
    if (!b.target.empty() && b.target != target) continue;
    if (blockLeft_[i] != kAlways) --blockLeft_[i];
    return true;
  }
  return false;
}

bool FaultPlan::DropAtBlock() {
  if (writeBlocks_ < UINT32_MAX) ++writeBlocks_;
  return faults_.dropAtBlock != 0 && writeBlocks_ == faults_.dropAtBlock;
}

bool FaultPlan::PullAtThisBlock() const {
  return faults_.pullAtBlock != 0 && writeBlocks_ == faults_.pullAtBlock;
}

bool FaultPlan::ComesBack(uint32_t leaveCount) const {
  return faults_.neverReturnAfter == 0 || leaveCount < faults_.neverReturnAfter;
}

bool FaultPlan::WrongPollStorage() {
  if (storageLeft_ == 0) return false;
  if (storageLeft_ != kAlways) --storageLeft_;
  return true;
}

bool FaultPlan::WrongPollCompletion() {
  if (completionLeft_ == 0) return false;
  if (completionLeft_ != kAlways) --completionLeft_;
  return true;
}

}  // namespace flashery::sim
