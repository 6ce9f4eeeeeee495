#include "sim/usb_handset_server.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "text/status.h"

namespace flashery::sim {

namespace {

size_t WholePackets(size_t n) { return (n + kHighSpeedPacket - 1) / kHighSpeedPacket * kHighSpeedPacket; }

}  // namespace

UsbHandsetServer::UsbHandsetServer(HandsetModel& model, UsbGadget& gadget, FunctionFs& ffs,
                                   double timeScale, const StopSignal& stop, bool trace)
    : model_(model),
      gadget_(gadget),
      ffs_(ffs),
      target_(model, IdentityFor(model.config())),
      timeScale_(timeScale > 0 ? timeScale : 1.0),
      stop_(stop),
      trace_(trace),
      wrapper_(kHighSpeedPacket) {}

void UsbHandsetServer::Note(const std::string& text) const {
  std::fprintf(stderr, "flashery-usb-handset: %s\n", text.c_str());
}

int UsbHandsetServer::RealMs(uint32_t stationMs) const {
  double real = std::ceil(stationMs * timeScale_);
  return static_cast<int>(std::min(real, 86400000.0));
}

bool UsbHandsetServer::Appear(std::string& error) {
  if (!model_.PowerOn()) {
    error = "cannot prepare the handset folder " + model_.config().folder;
    return false;
  }
  if (!gadget_.SetSerial(model_.busSerial(), error) || !gadget_.Bind(error)) return false;
  Note(model_.busSerial() + " on the bus (" + gadget_.setup().udc + ")");
  return true;
}

bool UsbHandsetServer::Unplug(bool restart) {
  std::string error;
  if (restart && ffs_.Wait(RealMs(model_.config().timings.leaveDelayMs), true) == XferEnd::kStopped)
    return false;
  BusReturn back;
  if (restart) {
    back = model_.LeaveBus();
  } else {
    back.offBusMs = model_.config().timings.offBusMs;
    back.busSerial = model_.busSerial();
  }
  if (!gadget_.Unbind(error)) {
    Note(error);
    return false;
  }
  target_.Reset();
  Note(FormatString("%s off the bus (%s) for %u ms", gadget_.setup().serial.c_str(),
                    restart ? "restart" : "pulled out in the middle of a command", back.offBusMs));
  if (!back.comesBack) {
    Note(gadget_.setup().serial + " does not come back");
    while (ffs_.Wait(1000) != XferEnd::kStopped) {
    }
    return false;
  }
  if (ffs_.Wait(RealMs(back.offBusMs), true) == XferEnd::kStopped) return false;
  if (restart) model_.Rejoin();
  if (!gadget_.SetSerial(back.busSerial, error) || !gadget_.Bind(error)) {
    Note(error);
    return false;
  }
  Note(back.busSerial + " back on the bus");
  return true;
}

bool UsbHandsetServer::ServeCommand() {
  XferResult r = ffs_.FromHost(wrapper_.data(), wrapper_.size(), -1);
  if (r.end == XferEnd::kStopped) return false;
  if (r.end == XferEnd::kInterrupted) {
    target_.Reset();
    return ffs_.WaitEnabled(-1) != XferEnd::kStopped;
  }
  if (r.end != XferEnd::kDone) {
    Note(std::string("waiting for a command: ") + std::strerror(r.error));
    return ffs_.Wait(100) != XferEnd::kStopped;
  }
  CbwParse parsed = ParseCbw(wrapper_.data(), r.bytes);
  if (parsed.ok && !parsed.cbw.dataIn && parsed.cbw.dataLength > kMaxDataOut) {
    parsed.ok = false;
    parsed.error = FormatString("a data phase of %u bytes", parsed.cbw.dataLength);
  }
  if (!parsed.ok) {
    Note("refused " + parsed.error + "; bulk endpoints halted");
    ffs_.HaltBulk();
    return true;
  }
  const Cbw& cbw = parsed.cbw;
  const uint8_t* dataOut = nullptr;
  bool shortData = false;
  if (cbw.direction() == kDirToDevice) {
    dataOut_.assign(WholePackets(cbw.dataLength), 0);
    r = ffs_.FromHost(dataOut_.data(), cbw.dataLength, kPhaseMs);
    if (r.end == XferEnd::kStopped) return false;
    if (r.end != XferEnd::kDone) {
      Note(FormatString("data from the host for command 0x%02x %s", cbw.cdb[0], XferEndName(r.end)));
      return true;
    }
    shortData = r.bytes < cbw.dataLength;
    dataOut = dataOut_.data();
  }
  BotAnswer answer;
  if (shortData) {
    answer.status = CswStatus::kPhaseError;
    answer.residue = cbw.dataLength - static_cast<uint32_t>(r.bytes);
  } else {
    answer = target_.Execute(cbw, dataOut);
  }
  if (trace_)
    Note(FormatString("command %02x %02x %02x %02x, %u bytes %s: status %u", cbw.cdb[0], cbw.cdb[1],
                      cbw.cdb[2], cbw.cdb[3], cbw.dataLength, cbw.dataIn ? "in" : "out",
                      static_cast<unsigned>(answer.status)));
  if (answer.timing == ReplyTiming::kDropConnection) {
    model_.ConnectionClosed();
    return Unplug(false);
  }
  if (answer.timing == ReplyTiming::kNever) {
    // Held until the host gives up on the command and resets the handset.
    XferEnd e = XferEnd::kDone;
    while (e == XferEnd::kDone) e = ffs_.Wait(1000);
    if (e == XferEnd::kStopped) return false;
    target_.Reset();
    Note("a command left unanswered was abandoned: the host reset the handset");
    return true;
  }
  if (answer.timing == ReplyTiming::kAfterTimeout) {
    XferEnd e = ffs_.Wait(RealMs(answer.delayMs));
    if (e == XferEnd::kStopped) return false;
    if (e != XferEnd::kDone) {
      target_.Reset();
      Note("a late answer was abandoned: the host reset the handset");
      return true;
    }
  }
  if (cbw.direction() == kDirFromDevice) {
    r = ffs_.ToHost(answer.data.data(), answer.data.size(), kPhaseMs);
    if (r.end == XferEnd::kStopped) return false;
    if (r.end != XferEnd::kDone) {
      Note(FormatString("data to the host for command 0x%02x %s", cbw.cdb[0], XferEndName(r.end)));
      return true;
    }
  }
  auto csw = BuildCsw(cbw.tag, answer.residue, answer.status);
  r = ffs_.ToHost(csw.data(), csw.size(), kPhaseMs);
  if (r.end == XferEnd::kStopped) return false;
  if (r.end != XferEnd::kDone) {
    Note(FormatString("status of command 0x%02x %s", cbw.cdb[0], XferEndName(r.end)));
    return true;
  }
  if (answer.leaveBus) return Unplug(true);
  return true;
}

void UsbHandsetServer::Run() {
  while (!stop_.requested() && ServeCommand()) {
  }
  std::string error;
  if (!gadget_.Unbind(error)) Note(error);
  model_.Shutdown();
}

}  // namespace flashery::sim
