// End-to-end: flashery-sim in a temporary folder, the station's own bus,
// device monitor and socket transports in this process, port jobs on
// threads, everything with a small FLASHERY_TIME_SCALE. Afterwards each
// handset's images/ and storage/ are compared with the package sections
// and the set folders byte for byte, and its report.json must list no
// rejected command.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "device/device_monitor.h"
#include "device/sim_bus.h"
#include "package/extend_binding.h"
#include "package/package_open.h"
#include "package/package_writer.h"
#include "platform/files.h"
#include "station_harness.h"

extern char** environ;

namespace flashery::test {
namespace {

constexpr double kScale = 0.02;

// Waits in short real steps for a condition of another process (bounded).
template <typename F>
bool WaitFor(F done, int maxMs = 30000) {
  for (int waited = 0; waited < maxMs; waited += 10) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

class SimProcess {
 public:
  SimProcess(const std::string& dir, int count) : dir_(dir) {
    const char* bin = std::getenv("FLASHERY_BIN");
    std::string exe = std::string(bin ? bin : "build/bin") + "/flashery-sim";
    std::vector<std::string> args = {exe, "--dir", dir, "--count", std::to_string(count), "--serial-prefix", "E"};
    std::vector<std::string> env = {"FLASHERY_TIME_SCALE=" + std::to_string(kScale)};
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("FLASHERY_TIME_SCALE=", 0) != 0) env.push_back(*e);
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    for (auto& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    std::string out = dir + ".out";
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    if (posix_spawn(&pid_, exe.c_str(), &fa, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
  }
  ~SimProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  bool WaitReady() const {
    return pid_ > 0 && WaitFor([&] { return PathExists(dir_ + "/sim.ready"); });
  }

 private:
  std::string dir_;
  pid_t pid_ = -1;
};

// The station side: bus, monitor and what the jobs share.
struct E2eStation {
  explicit E2eStation(const std::string& busDir)
      : clock(kScale), bus(busDir, kScale), monitor(bus, records, nullptr, clock) {
    LoadBracketTexts(texts);
    monitor.Start();
  }
  ~E2eStation() { monitor.Stop(); }

  bool WaitBound(int ports) {
    return WaitFor([&] {
      for (int p = 0; p < ports; ++p)
        if (!records.Get(p).bound()) return false;
      return true;
    });
  }

  // Starts the ports' jobs on threads, as the view's start buttons do.
  std::vector<bool> RunJobs(int ports) {
    std::vector<char> ok(static_cast<size_t>(ports), 0);
    std::vector<std::thread> threads;
    auto sel = std::make_shared<const DownloadSelection>(selection);
    auto pkg = std::make_shared<const QfmPackage>(package);
    for (int p = 0; p < ports; ++p) {
      EXPECT_TRUE(records.TryStartJob(p));
      threads.emplace_back([&, p] {
        PortJobContext c{p, records, texts, prompter, clock, semaphore, [this] { return bus.NewTransport(); },
                         sel, pkg, false, clock.NowMs(), &view, nullptr, &log};
        ok[static_cast<size_t>(p)] = PortJob(c) ? 1 : 0;
      });
    }
    for (auto& t : threads) t.join();
    return std::vector<bool>(ok.begin(), ok.end());
  }

  SystemClock clock;
  SimBus bus;
  PortRecordTable records;
  DeviceMonitor monitor;
  TextTable texts;
  RecordingPrompter prompter;
  JobSemaphore semaphore{8};
  RecordingView view;
  LogFile log;
  DownloadSelection selection;
  QfmPackage package;
};

struct Release {
  std::string dir;
  std::map<QfmSectionKey, std::string> files;  // section -> its input file
};

// A package written by the package layer's writer and opened as the station opens it.
void MakePackage(E2eStation& st, Release& rel, const std::string& product,
                 const std::map<QfmSectionKey, size_t>& sizes) {
  PackageContents contents{product, "V1.0", {}};
  uint32_t seed = 1;
  for (auto [key, size] : sizes) {
    std::string path = rel.dir + "/in/" + std::to_string(static_cast<int>(key)) + ".img";
    ASSERT_TRUE(WriteBytes(path, TestBytes(size, seed++)));
    std::string name = ExtendSlotOf(key) ? "ext" + std::to_string(ExtendSlotOf(key)) : "";
    contents.inputs.push_back({key, path, name});
    rel.files[key] = path;
  }
  std::string qfm = rel.dir + "/" + product + ".QFM";
  PackageWriteResult w = WritePackage(qfm, contents);
  ASSERT_TRUE(w.ok) << w.error;
  st.package.extensionTable.names = {"ext1", "ext2"};
  st.package.extensionTable.codes = {0x21, 0x22};
  std::string error;
  PackageContext ctx{st.texts, st.prompter};
  ASSERT_TRUE(OpenPackage(st.package, qfm, error, ctx)) << error;
  ASSERT_TRUE(BindExtendSections(st.package, error, st.texts)) << error;
  st.selection.packagePath = qfm;
}

void ExpectHandsetHoldsRelease(const std::string& handsetFolder, const E2eStation& st, const Release& rel) {
  // Image codes by section key order: BL, NK, MLO, userdata, system, Evn, Extend 1..5, cache, Recovery.
  static const uint8_t kCodes[] = {2, 4, 1, 6, 5, 3, 0, 0, 0, 0, 0, 7, 8};
  for (auto& [key, path] : rel.files) {
    uint8_t code = ExtendSlotOf(key) ? st.package.section(key).fileCode : kCodes[static_cast<int>(key)];
    ExpectImage(handsetFolder, code, ReadBytes(path));
  }
  auto report = ReadWholeFile(handsetFolder + "/report.json").value_or("");
  EXPECT_NE(report.find("\"rejected\": [],"), std::string::npos) << report.substr(0, 4000);
}

void MakeFileSets(E2eStation& st, const std::string& root) {
  std::string res = root + "/内置资源", gps = root + "/GPS", brand = root + "/app/quillon";
  ASSERT_TRUE(WriteBytes(res + "/我的音乐/歌曲.mp3", TestBytes(65024, 21)));
  ASSERT_TRUE(WriteBytes(res + "/我的铃声/ring.mp3", TestBytes(65025, 22)));
  ASSERT_TRUE(WriteBytes(res + "/我的下载/empty.txt", {}));
  ASSERT_TRUE(WriteBytes(res + "/resfile_pc.txt", TestBytes(40, 23)));
  ASSERT_TRUE(WriteBytes(gps + "/QUILMAP/quilfile_pc.txt", TestBytes(40, 24)));
  ASSERT_TRUE(WriteBytes(gps + "/QUILMAP/navidat/city/road.dat", TestBytes(700000, 25)));
  ASSERT_TRUE(WriteBytes(gps + "/udisk_bak/我的音乐/b.mp3", TestBytes(3000, 26)));
  ASSERT_TRUE(WriteBytes(brand + "/presetapp/app.apk", TestBytes(150000, 27)));
  MakeDirectories(gps + "/cdrom");
  st.selection.resourcesFolder = res;
  st.selection.gpsFolder = gps;
  st.selection.brandFolder = brand;
  st.selection.resourcesSelected = st.selection.gpsSelected = st.selection.brandSelected = 1;
}

void ExpectHandsetHoldsSets(const std::string& handsetFolder, const E2eStation& st) {
  ExpectStorageMirrors(handsetFolder, "udisk", st.selection.resourcesFolder);
  ExpectStorageMirrors(handsetFolder, "gpsdata", st.selection.gpsFolder);
  ExpectStorageMirrors(handsetFolder, "quillon", st.selection.brandFolder);
  EXPECT_TRUE(IsDirectory(handsetFolder + "/storage/gpsdata/cdrom"));
}

std::string HandsetFolder(const std::string& busDir, const E2eStation& st, int port) {
  return busDir + "/" + st.records.Get(port).instanceId;
}

TEST(EndToEnd, OnePortEveryImageAndEveryFileSet) {
  TempDir tmp;
  std::string bus = tmp.path() + "/bus";
  SimProcess sim(bus, 1);
  ASSERT_TRUE(sim.WaitReady());
  E2eStation st(bus);
  st.log.Reset(tmp.path() + "/run.txt", &st.prompter);
  Release rel{tmp.path(), {}};
  using K = QfmSectionKey;
  MakePackage(st, rel, "P100",
              {{K::BL, 70000}, {K::NK, 65024}, {K::MLO, 1000}, {K::Userdata, 65025}, {K::System, 300000},
               {K::Evn, 77}, {K::Extend1, 4000}, {K::Extend2, 130048}, {K::Cache, 1}, {K::Recovery, 200}});
  MakeFileSets(st, tmp.path() + "/res");
  st.selection.bootloaderSelected = st.selection.kernelSelected = st.selection.systemSelected = 1;
  ASSERT_TRUE(st.WaitBound(1));
  std::string handset = HandsetFolder(bus, st, 0);
  EXPECT_EQ(st.RunJobs(1), std::vector<bool>{true});
  ExpectHandsetHoldsRelease(handset, st, rel);
  ExpectHandsetHoldsSets(handset, st);
}

TEST(EndToEnd, SystemImageOfThreeSegmentsPlainAndSegmented) {
  for (const char* product : {"QUILLON_T745", "P100"}) {
    SCOPED_TRACE(product);
    TempDir tmp;
    std::string bus = tmp.path() + "/bus";
    SimProcess sim(bus, 1);
    ASSERT_TRUE(sim.WaitReady());
    E2eStation st(bus);
    Release rel{tmp.path(), {}};
    MakePackage(st, rel, product, {{QfmSectionKey::System, 36000000}});
    st.selection.systemSelected = 1;
    ASSERT_TRUE(st.WaitBound(1));
    std::string handset = HandsetFolder(bus, st, 0);
    EXPECT_EQ(st.RunJobs(1), std::vector<bool>{true});
    ExpectHandsetHoldsRelease(handset, st, rel);
    auto report = ReadWholeFile(handset + "/report.json").value_or("");
    bool segmented = std::string(product) == "P100";
    EXPECT_NE(report.find(segmented ? "\"segments\": 3" : "\"segments\": 0"), std::string::npos);
  }
}

TEST(EndToEnd, EightPortsAtOnce) {
  TempDir tmp;
  std::string bus = tmp.path() + "/bus";
  SimProcess sim(bus, 8);
  ASSERT_TRUE(sim.WaitReady());
  E2eStation st(bus);
  Release rel{tmp.path(), {}};
  using K = QfmSectionKey;
  MakePackage(st, rel, "P100", {{K::BL, 70000}, {K::NK, 200000}, {K::System, 400000}, {K::Evn, 50}});
  MakeFileSets(st, tmp.path() + "/res");
  st.selection.bootloaderSelected = st.selection.kernelSelected = st.selection.systemSelected = 1;
  ASSERT_TRUE(st.WaitBound(8));
  std::set<std::string> serials;
  for (int p = 0; p < 8; ++p) serials.insert(st.records.Get(p).instanceId);
  EXPECT_EQ(serials.size(), 8u);
  std::vector<std::string> folders;
  for (int p = 0; p < 8; ++p) folders.push_back(HandsetFolder(bus, st, p));
  EXPECT_EQ(st.RunJobs(8), std::vector<bool>(8, true));
  for (int p = 0; p < 8; ++p) {
    SCOPED_TRACE(p);
    ExpectHandsetHoldsRelease(folders[static_cast<size_t>(p)], st, rel);
    ExpectHandsetHoldsSets(folders[static_cast<size_t>(p)], st);
  }
}

}  // namespace
}  // namespace flashery::test
