// End-to-end: flashery-sim in a temporary folder, the station's own bus,
// device monitor and socket transports in this process, port jobs on
// threads, everything with a small FLASHERY_TIME_SCALE. Afterwards each
// handset's images/ and storage/ are compared with the package sections
// and the set folders byte for byte, and its report.json must list no
// rejected command.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "device/device_monitor.h"
#include "device/sim_bus.h"
#include "package/extend_binding.h"
#include "package/package_open.h"
#include "package/package_writer.h"
#include "platform/files.h"
#include "platform/tests/process_runner.h"
#include "station_harness.h"

namespace flashery::test {
namespace {

using K = QfmSectionKey;
constexpr double kScale = 0.02;

// The station side: bus, monitor and what the jobs share, against a
// simulator with `ports` handsets.
struct E2eStation {
  // `faults`: flashery-sim's fault options for every handset.
  E2eStation(int ports, std::vector<std::string> faults = {})
      : sim(bus_dir, SimArgs(ports, std::move(faults)), std::to_string(kScale)),
        clock(kScale), bus(bus_dir, kScale), monitor(bus, records, nullptr, clock) {
    LoadBracketTexts(texts);
    monitor.Start();
  }
  ~E2eStation() { monitor.Stop(); }
  static std::vector<std::string> SimArgs(int ports, std::vector<std::string> faults) {
    std::vector<std::string> args = {"--count", std::to_string(ports), "--serial-prefix", "E"};
    args.insert(args.end(), faults.begin(), faults.end());
    return args;
  }

  // A package written by the package layer's writer and opened as the station opens it.
  void MakePackage(const std::string& product, const std::map<K, size_t>& sizes) {
    PackageContents contents{product, "V1.0", {}};
    uint32_t seed = 1;
    for (auto [key, size] : sizes) {
      std::string path = tmp / (std::to_string(static_cast<int>(key)) + ".img");
      ASSERT_TRUE(WriteBytes(path, TestBytes(size, seed++)));
      contents.inputs.push_back({key, path, ExtendSlotOf(key) ? "ext" + std::to_string(ExtendSlotOf(key)) : ""});
      files[key] = path;
    }
    std::string qfm = tmp / (product + ".QFM"), error;
    PackageWriteResult w = WritePackage(qfm, contents);
    ASSERT_TRUE(w.ok) << w.error;
    package.extensionTable.names = {"ext1", "ext2"};
    package.extensionTable.codes = {0x21, 0x22};
    PackageContext ctx{texts, prompter};
    ASSERT_TRUE(OpenPackage(package, qfm, error, ctx)) << error;
    ASSERT_TRUE(BindExtendSections(package, error, texts)) << error;
    selection.packagePath = qfm;
    selection.bootloaderSelected = selection.kernelSelected = selection.systemSelected = 1;
  }

  void MakeFileSets() {
    std::string res = tmp / "res/内置资源", gps = tmp / "res/GPS", brand = tmp / "app/quillon";
    ASSERT_TRUE(WriteBytes(res + "/我的音乐/歌曲.mp3", TestBytes(65024, 21)));
    ASSERT_TRUE(WriteBytes(res + "/我的铃声/ring.mp3", TestBytes(65025, 22)));
    ASSERT_TRUE(WriteBytes(res + "/我的下载/empty.txt", {}));
    ASSERT_TRUE(WriteBytes(res + "/resfile_pc.txt", TestBytes(40, 23)));
    ASSERT_TRUE(WriteBytes(gps + "/QUILMAP/quilfile_pc.txt", TestBytes(40, 24)));
    ASSERT_TRUE(WriteBytes(gps + "/QUILMAP/navidat/city/road.dat", TestBytes(700000, 25)));
    ASSERT_TRUE(WriteBytes(gps + "/udisk_bak/我的音乐/b.mp3", TestBytes(3000, 26)));
    ASSERT_TRUE(WriteBytes(brand + "/presetapp/app.apk", TestBytes(150000, 27)));
    MakeDirectories(gps + "/cdrom");
    selection.resourcesFolder = res;
    selection.gpsFolder = gps;
    selection.brandFolder = brand;
    selection.resourcesSelected = selection.gpsSelected = selection.brandSelected = 1;
  }

  // Waits until the monitor bound every port, starts the jobs on threads
  // as the view's start buttons do, checks each handset (a job expected
  // to fail only for its result), and returns the handsets' folders.
  std::vector<std::string> RunAndCheck(int ports, bool expectOk = true) {
    std::vector<std::string> folders;
    for (int waited = 0; waited < 30000 && folders.empty(); waited += 10) {
      bool all = true;
      for (int p = 0; p < ports; ++p) all = all && records.Get(p).bound();
      if (all)
        for (int p = 0; p < ports; ++p) folders.push_back(bus_dir + "/" + records.Get(p).instanceId);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(std::set<std::string>(folders.begin(), folders.end()).size(), static_cast<size_t>(ports));
    if (folders.empty()) return folders;
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
    // Image codes by section key order: BL, NK, MLO, userdata, system, Evn, Extend 1..5, cache, Recovery.
    static const uint8_t kCodes[] = {2, 4, 1, 6, 5, 3, 0, 0, 0, 0, 0, 7, 8};
    for (int p = 0; p < ports; ++p) {
      const std::string& f = folders[static_cast<size_t>(p)];
      SCOPED_TRACE(f);
      EXPECT_EQ(ok[static_cast<size_t>(p)] != 0, expectOk);
      if (!expectOk) continue;
      for (auto& [key, path] : files)
        ExpectImage(f, ExtendSlotOf(key) ? package.section(key).fileCode : kCodes[static_cast<int>(key)], ReadBytes(path));
      EXPECT_NE(ReadWholeFile(f + "/report.json").value_or("").find("\"rejected\": [],"), std::string::npos);
      if (!selection.gpsSelected) continue;
      ExpectStorageMirrors(f, "udisk", selection.resourcesFolder);
      ExpectStorageMirrors(f, "gpsdata", selection.gpsFolder);
      ExpectStorageMirrors(f, "quillon", selection.brandFolder);
      EXPECT_TRUE(IsDirectory(f + "/storage/gpsdata/cdrom"));
    }
    return folders;
  }

  TempDir tmp;
  std::string bus_dir = MakeDirectories(tmp / "bus") ? tmp / "bus" : "";
  flashery::testing::SimProcess sim;
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
  std::map<K, std::string> files;  // section -> its input file
};

TEST(EndToEnd, EightPortsEveryImageAndEveryFileSet) {
  E2eStation st(8);
  st.MakePackage("P100", {{K::BL, 70000}, {K::NK, 65024}, {K::MLO, 1000}, {K::Userdata, 65025},
                          {K::System, 300000}, {K::Evn, 77}, {K::Extend1, 4000}, {K::Extend2, 130048},
                          {K::Cache, 1}, {K::Recovery, 200}});
  st.MakeFileSets();
  st.RunAndCheck(8);
}

TEST(EndToEnd, SystemImageOfThreeSegmentsPlainAndSegmented) {
  for (const char* product : {"QUILLON_T745", "P100"}) {
    SCOPED_TRACE(product);
    E2eStation st(1);
    st.MakePackage(product, {{K::System, 36000000}});
    auto folders = st.RunAndCheck(1);
    ASSERT_EQ(folders.size(), 1u);
    auto report = ReadWholeFile(folders[0] + "/report.json").value_or("");
    EXPECT_NE(report.find(std::string(product) == "P100" ? "\"segments\": 3" : "\"segments\": 0"), std::string::npos);
  }
}

// The station's socket transport keeps the connection after a time-out and
// reads the late reply past: a late WriteBlock is repeated and the image
// arrives whole. A handset that never answers fails its port (three
// OpenDownloads, each after the time-out's real floor).
TEST(EndToEnd, ALateBlockIsRepeatedAndASilentHandsetFails) {
  for (bool silent : {false, true}) {
    SCOPED_TRACE(silent);
    E2eStation st(1, silent ? std::vector<std::string>{"--silent"}
                            : std::vector<std::string>{"--late", "WriteBlock:1"});
    st.MakePackage("P100", {{K::MLO, 1000}, {K::BL, 70000}, {K::System, 300000}});
    auto folders = st.RunAndCheck(1, !silent);
    ASSERT_EQ(folders.size(), 1u);
    auto report = ReadWholeFile(folders[0] + "/report.json").value_or("");
    // (Written before the handset withholds its answer.)
    EXPECT_NE(report.find(silent ? "silent: no command is answered" : "answered after the time-out"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace flashery::test
