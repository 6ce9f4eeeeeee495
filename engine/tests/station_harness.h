// A station for the engine's tests: fake clock, port record table, a text
// table whose text N reads "[N]", a recording view and prompter, the run's
// log in a temporary folder, the job semaphore, in-process handsets (the
// simulator's model) and a package file built from given bytes.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/settings.h"
#include "device/port_device.h"
#include "engine/port_job.h"
#include "model_handset.h"
#include "package/qfm_package.h"
#include "platform/clock.h"
#include "platform/tests/test_dir.h"
#include "text/log_file.h"
#include "text/port_view.h"
#include "text/prompter.h"
#include "text/text_table.h"

namespace flashery::test {

using flashery::testing::TempDir;

class RecordingView final : public PortView {
  template <typename F>
  auto Locked(F f) const {
    std::lock_guard lock(mutex_);
    return f();
  }

 public:
  void SetStatusText(int port, const std::string& text) override { Locked([&] { status_[port].push_back(text); }); }
  void SetProgress(int port, uint32_t position) override { Locked([&] { progress_[port].push_back(position); }); }
  void JobEnded(int port, bool ok) override { Locked([&] { ended_.emplace_back(port, ok); }); }
  std::vector<std::string> statuses(int port) const { return Locked([&] { return status_[port]; }); }
  std::vector<uint32_t> progress(int port) const { return Locked([&] { return progress_[port]; }); }
  std::vector<std::pair<int, bool>> ended() const { return Locked([&] { return ended_; }); }

 private:
  mutable std::mutex mutex_;
  mutable std::map<int, std::vector<std::string>> status_;
  mutable std::map<int, std::vector<uint32_t>> progress_;
  std::vector<std::pair<int, bool>> ended_;
};

// Text N of the table reads "[N]".
void LoadBracketTexts(TextTable& texts);

// Deterministic bytes for images and files.
std::vector<uint8_t> TestBytes(size_t size, uint32_t seed);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);

class Station {
 public:
  Station();
  ~Station();

  ModelHandset& Plug(int port, const std::string& serial, sim::HandsetConfig config = {});
  ModelHandset& handset(int port) { return *handsets_.at(port); }
  // A package file at dir/test.QFM holding the given sections, recorded as
  // verified: every section's check value and the file's identity.
  void SetSection(QfmSectionKey key, std::vector<uint8_t> bytes, const std::string& name = "",
                  uint8_t fileCode = 0);
  void WritePackage();
  PortJobContext Context(int port, bool commandLineMode = false);
  // Marks the port running (window mode) and runs its job on this thread.
  bool Run(int port, bool commandLineMode = false);
  // A PortDevice on the port's handset, opened (for the procedure tests).
  std::unique_ptr<PortDevice> OpenDevice(int port);
  size_t Count(const std::string& text) const;  // occurrences in the log

  FakeClock clock;
  PortRecordTable records;
  TextTable texts;
  RecordingPrompter prompter;
  JobSemaphore semaphore{8};
  RecordingView view;
  TempDir dir;
  LogFile log;
  DownloadSelection selection;
  QfmPackage package;
  std::map<QfmSectionKey, std::vector<uint8_t>> sectionBytes;
  JobListener* listener = nullptr;  // the jobs' event stream, when a test listens

 private:
  std::map<int, std::shared_ptr<ModelHandset>> handsets_;
};

// Flips the byte at `at` of the file in place (same inode, same size).
void FlipByteInPlace(const std::string& path, uint64_t at);
// Flips byte `at` of the package file in place when the `nth` command of
// the kind of `like` (its group and sub-command) reaches the port's handset.
void FlipPackageByteOn(Station& st, int port, const VendorCommand& like, int nth, uint64_t at);

// The handset's images/ and storage/ against the package sections and the
// set folders, byte for byte.
void ExpectImage(const std::string& handsetFolder, uint8_t code, const std::vector<uint8_t>& bytes);
// Every file of `setFolder` (list files left out) is in storage/<area>/
// with the same bytes, and nothing else is.
void ExpectStorageMirrors(const std::string& handsetFolder, const std::string& area,
                          const std::string& setFolder);
// The commands a handset refused as wrong (its report's "rejected").
std::string Rejections(const sim::HandsetReport& report);
// How often the handset traced `command` (accepted and refused runs).
uint32_t TraceCount(const sim::HandsetReport& report, const std::string& command, int status = -1);

}  // namespace flashery::test
