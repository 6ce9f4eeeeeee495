// The vendor commands as operations on a PortDevice. Each builds its block
// (vendor_command.h), sends it through the device's transport and checks
// the reply. Commands are never repeated here; the callers repeat.
//
// Operations with the station's own messages ("report m" = status line m,
// log m, log "\r\n"):
//   CheckAlive(report)  logTransportErrors off while probing; stays off on
//                       failure (the caller turns it back on); success:
//                       report text 58 when asked, logging back on.
//   OpenDownload        success: report text 60; failure: report text 59.
//   QueryState          no message; reachable = the command went through,
//                       ready = reply byte 0 is 2.
//   FinishImages(flag)  no message.
//   BeginImage, EndImage, CommitSegment, SendSegmentCheck
//                       success: 200 ms pause; failure: report text 74.
//   AbortImage          report text 99 whatever the outcome.
//   FinishFileSets      success: report text 46 + "0 S..."; failure: text 45.
//   WaitCompletion      StartCompletion, then up to 20 polls 500 ms apart
//                       (below).
// The remaining commands (blocks, folders, files, modes, restart, storage)
// are sent without messages; the transfer procedures own those.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "device/port_device.h"

namespace flashery {

bool CheckAlive(PortDevice& dev, bool report);
bool OpenDownload(PortDevice& dev);
// Returns ready; `reachable` tells whether the command went through.
bool QueryState(PortDevice& dev, bool& reachable);
bool FinishImages(PortDevice& dev, bool moreWorkFollows);
bool BeginImage(PortDevice& dev, uint8_t imageCode, uint32_t imageSize);
bool EndImage(PortDevice& dev, uint8_t imageCode, uint32_t imageSize);
bool CommitSegment(PortDevice& dev, uint8_t imageCode, uint32_t segmentLength,
                   uint8_t segmentNumber, bool lastSegment);
bool SendSegmentCheck(PortDevice& dev, uint8_t imageCode, uint32_t checkRegister);
bool AbortImage(PortDevice& dev);
bool FinishFileSets(PortDevice& dev);
// Sends StartCompletion (failure: report text 111, false), then polls
// r = 0..19: wait 500 ms; PollCompletion into a zeroed 50-byte buffer; a
// failed poll reports text 111 and the wait goes on; the reply "1" sets
// the progress bar full, reports text 110 + "%d S..." (r / 2) and returns
// true; any other reply shows text 109 + "%d S.....\r\n" (r / 2). After 20
// polls: report text 111, false.
bool WaitCompletion(PortDevice& dev);

// Message-less commands. Lengths outside what the command can carry (a
// block over 65,024 bytes, a name over 65,535 bytes, a storage mode outside
// 1..5) are refused without sending anything.
bool SendImageBlock(PortDevice& dev, uint8_t* block, uint32_t length, uint16_t blockCheck,
                    bool lastBlock);
bool SendFileBlock(PortDevice& dev, uint8_t* block, uint32_t length, uint16_t blockCheck,
                   bool lastBlock, uint16_t sequence);
bool SendCreateFolder(PortDevice& dev, std::string_view handsetName);
bool SendBeginFile(PortDevice& dev, std::string_view handsetName);
// Sends dev.fileSize and dev.fileCheck, then sets both to 0 whatever the
// handset answered.
bool SendEndFile(PortDevice& dev);
bool SendSelectMode(PortDevice& dev);
bool SendRestartHandset(PortDevice& dev, bool commandLineMode);
bool SendPrepareStorage(PortDevice& dev, int mode);
// Polls the storage preparation of `mode` into `reply` (zeroed first);
// true when the command went through (whether storage is ready is
// StorageReplyIsReady).
bool SendPollStorage(PortDevice& dev, int mode, std::array<uint8_t, kPollStorageLength>& reply);

// A reply buffer read as a zero-terminated text (the whole buffer when it
// holds no zero byte) compared with `text`.
bool ReplyTextEquals(const uint8_t* reply, size_t size, std::string_view text);
// The storage preparation is done: "end=p1=1:p2=1:p3=1:p4=1" for mode 1,
// "1" for modes 2 to 5.
bool StorageReplyIsReady(int mode, const uint8_t* reply, size_t size);

}  // namespace flashery
