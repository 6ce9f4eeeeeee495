// The unattended mode end to end: flashery-pack makes the package,
// flashery-sim plays the handsets, flashery commandline downloads, and what
// each handset stored is compared with the package byte for byte.
#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <random>
#include <thread>

#include "platform/tests/process_runner.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

using testing::BinPath;
using testing::RunCommand;
using testing::RunOutput;
using testing::SimProcess;

constexpr const char* kScale = "0.02";

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

class Unattended : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"img", "home", "sim", "res", "apps/quillon/presetapp", "run"})
      ASSERT_TRUE(MakeDirectories(dir / d));
    images = {{"mlo", 1, 70000}, {"bl", 2, 65024}, {"nk", 4, 65025}, {"system", 5, 1'500'000},
              {"userdata", 6, 200000}, {"env", 3, 40}};
    unsigned seed = 1;
    for (const auto& im : images) ASSERT_TRUE(WriteWholeFile(dir / ("img/" + im.name), RandomBytes(im.size, seed++)));
    for (const char* lng : {"English.lng"}) {
      auto text = ReadWholeFile(BinPath(lng));
      ASSERT_TRUE(text) << lng;
      ASSERT_TRUE(WriteWholeFile(dir / (std::string("home/") + lng), *text));
    }
  }

  std::vector<std::string> CreateArgs(const std::string& out) {
    std::vector<std::string> a = {BinPath("flashery-pack"), "create", out, "--product", "T745", "--version", "V1"};
    for (const auto& im : images) a.insert(a.end(), {"--" + im.name, dir / ("img/" + im.name)});
    return a;
  }

  void MakePackage(std::vector<std::string> extra = {}) {
    auto args = CreateArgs(dir / "res/release.QFM");
    args.insert(args.end(), extra.begin(), extra.end());
    RunOutput r = RunCommand(dir / "run", "", args);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  }

  void Configure(const std::string& packagePath, const std::string& extra = "") {
    ASSERT_TRUE(WriteWholeFile(dir / "home/downtoolcfg.ini",
                               "[Language]\r\ncurrentLang=1033\r\n[checkinfo]\r\nchoseBootloader=1\r\nchoseKernel=1\r\n"
                               "choseSYS=1\r\n[FilePath]\r\nQFMfile=" + packagePath + "\r\n" + extra));
  }

  std::vector<std::string> StationArgs(std::vector<std::string> extra, const std::string& sim = "sim") {
    std::vector<std::string> args = {BinPath("flashery"), "commandline", "--home", dir / "home", "--sim", dir / sim};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  std::string StationEnv() { return std::string("FLASHERY_TIME_SCALE=") + kScale + " FLASHERY_RUNTIME_DIR=" + dir.path(); }
  RunOutput Station(std::vector<std::string> extra = {}, const std::string& sim = "sim") {
    return RunCommand(dir / "run", StationEnv(), StationArgs(std::move(extra), sim));
  }

  void ExpectStoredImages(const std::string& serial) {
    for (const auto& im : images) {
      auto stored = ReadWholeFile(dir / ("sim/" + serial + "/images/image_" + std::to_string(im.code) + ".bin"));
      ASSERT_TRUE(stored) << serial << " has no " << im.name;
      EXPECT_TRUE(*stored == *ReadWholeFile(dir / ("img/" + im.name))) << serial << " " << im.name << " differs";
    }
    auto report = ReadWholeFile(dir / ("sim/" + serial + "/report.json"));
    ASSERT_TRUE(report);
    EXPECT_NE(report->find("\"rejected\": []"), std::string::npos) << *report;
  }

  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
  }

  std::string LogText() {
    std::string all;
    for (const auto& e : ListFolder(dir / "home/log")) all += *ReadWholeFile(dir / ("home/log/" + e.name));
    return all;
  }

  struct Image {
    std::string name;
    int code;
    size_t size;
  };
  std::vector<Image> images;
  testing::TempDir dir;
};

TEST_F(Unattended, DownloadsEveryImageAndStagesThePresetApplications) {
  ASSERT_TRUE(WriteWholeFile(dir / "apps/quillon/presetapp/a.apk", RandomBytes(30000, 9)));
  ASSERT_TRUE(WriteWholeFile(dir / "apps/quillon/presetapp/说明.txt", "text"));
  RunOutput zip = RunCommand(dir / "apps", "cd " + testing::Quote(dir / "apps") + " &&",
                      {"zip", "-q", "-r", dir / "apps.zip", "quillon"});
  ASSERT_EQ(zip.status, 0) << zip.err;
  MakePackage({"--extend", "apps.zip=" + (dir / "apps.zip")});
  Configure(dir / "res/release.QFM");
  SimProcess sim(dir / "sim", {"--count", "1"}, kScale);
  ASSERT_TRUE(sim.ready(dir / "sim"));
  RunOutput r = Station({"--json", dir / "run.json"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  ExpectStoredImages("SIM0001");
  // The archive was staged into the program folder, not written as an image.
  EXPECT_EQ(*ReadWholeFile(dir / "home/quillon/presetapp/a.apk"), *ReadWholeFile(dir / "apps/quillon/presetapp/a.apk"));
  EXPECT_TRUE(IsRegularFile(dir / "home/quillon/presetapp/说明.txt"));
  std::string json = *ReadWholeFile(dir / "run.json");
  EXPECT_NE(json.find("\"type\":\"summary\",\"port\":1,\"instanceId\":\"SIM0001\",\"result\":\"ok\""), std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"type\":\"end\",\"status\":0"), std::string::npos);
  EXPECT_NE(LogText().find("SIM0001: "), std::string::npos);
}

TEST_F(Unattended, NothingToRunEndsWithStatusTwoAndAReason) {
  // No package configured.
  RunOutput r = Station({"--wait-s", "1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no package is configured"), std::string::npos) << r.err;

  // A package that fails verification (one byte of the system image changed).
  MakePackage();
  std::string pkg = *ReadWholeFile(dir / "res/release.QFM");
  pkg[pkg.size() / 2] ^= 0x5A;
  ASSERT_TRUE(WriteWholeFile(dir / "res/bad.QFM", pkg));
  Configure(dir / "res/bad.QFM");
  r = Station({"--wait-s", "1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("was not accepted"), std::string::npos) << r.err;

  // An Extend section whose name the settings do not know.
  MakePackage({"--extend", "extra.img=" + (dir / "img/env")});
  Configure(dir / "res/release.QFM");
  r = Station({"--wait-s", "1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no configured name"), std::string::npos) << r.err;

  // Configured, it binds; but no handset comes within the bound.
  Configure(dir / "res/release.QFM", "[ExdFile]\r\nfilename1=extra.img\r\nfilecode1=9\r\n");
  r = Station({"--wait-s", "1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no handset on port 1 within 1 s"), std::string::npos) << r.err;
  EXPECT_NE(LogText().find("no handset on port 1 within 1 s"), std::string::npos);
}

TEST_F(Unattended, AnArchiveThatCannotBeStagedStopsTheRun) {
  ASSERT_TRUE(WriteWholeFile(dir / "broken.zip", "PK\x03\x04 this is not really an archive"));
  MakePackage({"--extend", "apps.zip=" + (dir / "broken.zip")});
  Configure(dir / "res/release.QFM");
  RunOutput r = Station({"--wait-s", "1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("could not be staged"), std::string::npos) << r.err;
}

TEST_F(Unattended, AHandsetFailingMidImageFailsTheRun) {
  MakePackage();
  Configure(dir / "res/release.QFM");
  // The connection drops in the middle of the system image; the job's
  // single repetition runs into the handset that is still mid-transfer.
  SimProcess sim(dir / "sim", {"--count", "1", "--reject-block", "3:50@image5"}, kScale);
  ASSERT_TRUE(sim.ready(dir / "sim"));
  RunOutput r = Station();
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("port 1: FAILED"), std::string::npos) << r.out;
}

TEST_F(Unattended, EightPortsAtOnceWithOneFaultyHandset) {
  MakePackage();
  Configure(dir / "res/release.QFM");
  SimProcess sim(dir / "sim", {"--count", "8", "--faulty", "3", "--reject-block", "2:50@image4"}, kScale);
  ASSERT_TRUE(sim.ready(dir / "sim"));
  RunOutput r = Station({"--ports", "8", "--json", dir / "run.json"});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  std::string json = *ReadWholeFile(dir / "run.json");
  int ok = 0, failed = 0;
  for (size_t p = json.find("\"type\":\"summary\""); p != std::string::npos; p = json.find("\"type\":\"summary\"", p + 1)) {
    size_t end = json.find('\n', p);
    std::string line = json.substr(p, end - p);
    if (line.find("\"result\":\"ok\"") != std::string::npos) ++ok;
    if (line.find("\"result\":\"failed\"") != std::string::npos) {
      ++failed;
      EXPECT_NE(line.find("SIM0003"), std::string::npos) << line;
    }
  }
  EXPECT_EQ(ok, 7);
  EXPECT_EQ(failed, 1);
  // Every unit is in the history, the failed one with its step.
  EXPECT_NE(r.out.find("; 8 units recorded in the history;"), std::string::npos) << r.out;
  RunOutput h = RunCommand(dir / "run", "", {BinPath("flashery"), "history", "--home", dir / "home", "--result",
                                             "failed", "--format", "csv"});
  EXPECT_EQ(h.status, 0) << h.err;
  EXPECT_EQ(std::count(h.out.begin(), h.out.end(), '\n'), 2) << h.out;
  EXPECT_NE(h.out.find("\"SIM0003\",\"3\""), std::string::npos) << h.out;
  EXPECT_NE(h.out.find("\"failed\",\"image\""), std::string::npos) << h.out;
  h = RunCommand(dir / "run", "", {BinPath("flashery"), "history", "--home", dir / "home", "--summary", "--format", "json"});
  EXPECT_EQ(std::count(h.out.begin(), h.out.end(), '{'), 8) << h.out;
  for (int i = 1; i <= 8; ++i) {
    if (i == 3) continue;
    ExpectStoredImages("SIM000" + std::to_string(i));
  }
}

TEST_F(Unattended, APackageChangedOnDiskDuringTheRunFailsEveryPort) {
  // The staged application marks the package as verified; the handsets
  // come only after a byte of the system image was changed in place.
  ASSERT_TRUE(WriteWholeFile(dir / "apps/quillon/presetapp/a.apk", RandomBytes(3000, 9)));
  RunOutput zip = RunCommand(dir / "apps", "cd " + testing::Quote(dir / "apps") + " &&",
                             {"zip", "-q", "-r", dir / "apps.zip", "quillon"});
  ASSERT_EQ(zip.status, 0) << zip.err;
  MakePackage({"--extend", "apps.zip=" + (dir / "apps.zip")});
  Configure(dir / "res/release.QFM");
  RunOutput r;
  std::thread station([&] { r = Station({"--ports", "8", "--json", dir / "run.json"}); });
  for (int i = 0; i < 6000 && !PathExists(dir / "home/quillon/presetapp/a.apk"); ++i) ::usleep(5000);
  {
    std::fstream f(dir / "res/release.QFM", std::ios::in | std::ios::out | std::ios::binary);
    unsigned char offset[4] = {};
    f.seekg(0x118);  // the system image's offset in the header
    f.read(reinterpret_cast<char*>(offset), 4);
    uint32_t at = offset[0] | offset[1] << 8 | offset[2] << 16 | static_cast<uint32_t>(offset[3]) << 24;
    f.seekp(at + 1000);
    f.put('\x5A');
    ASSERT_TRUE(f.good());
  }
  SimProcess sim(dir / "sim", {"--count", "8"}, kScale);
  station.join();
  ASSERT_TRUE(sim.ready(dir / "sim"));
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  std::string log = LogText();
  const std::string changed = "The package file changed after it was verified; nothing more is written from it";
  for (int i = 1; i <= 8; ++i) {
    std::string serial = "SIM000" + std::to_string(i);
    EXPECT_NE(r.out.find("port " + std::to_string(i) + ": FAILED"), std::string::npos) << r.out;
    EXPECT_NE(log.find(serial + ": " + changed), std::string::npos) << log;
    EXPECT_FALSE(PathExists(dir / ("sim/" + serial + "/images/image_5.bin"))) << serial;
  }
  EXPECT_NE(ReadWholeFile(dir / "run.json").value_or("").find("\"reason\":\"8 of 8 downloads failed\""), std::string::npos);
}

TEST_F(Unattended, RecordsThatCannotBeWrittenFailAGoodRunAndAreSaidOnce) {
  MakePackage();
  Configure(dir / "res/release.QFM");
  const std::string lost = "This record could not be written completely: ";

  // The run record fills the disk: every download succeeds, the run fails.
  {
    SimProcess sim(dir / "sim", {"--count", "1"}, kScale);
    ASSERT_TRUE(sim.ready(dir / "sim"));
    RunOutput r = Station({"--json", "/dev/full"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(Count(r.err, lost + "/dev/full (No space left on device)"), 1u) << r.err;
    EXPECT_NE(r.out.find("every download succeeded; the run record /dev/full is incomplete"), std::string::npos) << r.out;
    EXPECT_EQ(Count(LogText(), lost + "/dev/full (No space left on device)"), 1u);
    ExpectStoredImages("SIM0001");
  }

  // No log folder can be made: one message, not one per record.
  ASSERT_TRUE(RemoveTree(dir / "home/log"));
  ASSERT_TRUE(WriteWholeFile(dir / "home/log", "a file where the log folder belongs"));
  {
    ASSERT_TRUE(MakeDirectories(dir / "sim2"));
    SimProcess sim(dir / "sim2", {"--count", "1"}, kScale);
    ASSERT_TRUE(sim.ready(dir / "sim2"));
    RunOutput r = Station({}, "sim2");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(Count(r.err, lost), 1u) << r.err;
    EXPECT_NE(r.err.find(lost + (dir / "home/log") + " (Not a directory)"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("日志文件名为空"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("every download succeeded; the log of this run is incomplete"), std::string::npos) << r.out;
  }

  // A run record that cannot even be created stops the run before it starts.
  RunOutput r = Station({"--json", dir / "missing/run.json", "--wait-s", "1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("cannot create the run record " + (dir / "missing/run.json") + " (No such file or directory)"),
            std::string::npos)
      << r.err;
}

TEST_F(Unattended, AnInterruptedEightPortRunSaysStoppedForEachPortAndNothingFalse) {
  MakePackage();
  Configure(dir / "res/release.QFM");
  // Each image keeps its handset busy for a while, so the jobs surely run
  // when the signal comes.
  SimProcess sim(dir / "sim", {"--count", "8", "--image-busy-ms", "60000"}, kScale);
  ASSERT_TRUE(sim.ready(dir / "sim"));
  std::string command = "exec env " + StationEnv();
  for (const auto& a : StationArgs({"--ports", "8", "--json", dir / "run.json"})) command += " " + testing::Quote(a);
  command += " >" + testing::Quote(dir / "run/out") + " 2>" + testing::Quote(dir / "run/err") + " </dev/null";
  pid_t pid = -1;
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);

  // Every port has begun writing its images (a bounded poll; the images
  // take far longer).
  auto allStarted = [&] {
    std::string log = LogText();
    for (int i = 1; i <= 8; ++i)
      if (log.find("SIM000" + std::to_string(i) + ": Starting the image download") == std::string::npos) return false;
    return true;
  };
  for (int i = 0; i < 6000 && !allStarted(); ++i) ::usleep(10000);
  EXPECT_TRUE(allStarted()) << LogText();
  ::kill(pid, SIGTERM);
  int raw = 0;
  ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 1);

  std::string log = LogText();
  for (int i = 1; i <= 8; ++i)
    EXPECT_EQ(Count(log, "SIM000" + std::to_string(i) + ": Stopped by the operator "), 1u) << i << "\n" << log;
  // Nothing that never happened on the wire: no refusals, failure boxes,
  // aborted images or failed commands.
  for (const char* never : {"block refused", "Image transfer aborted", "下载失败", "Command failed", "not ready"})
    EXPECT_EQ(log.find(never), std::string::npos) << never << "\n" << log;
  EXPECT_NE(ReadWholeFile(dir / "run/out").value_or("").find("interrupted"), std::string::npos);
  std::string json = ReadWholeFile(dir / "run.json").value_or("");
  EXPECT_EQ(Count(json, "\"result\":\"stopped\",\"reason\":\"Stopped by the operator\""), 8u) << json;
  EXPECT_NE(json.find("{\"type\":\"end\",\"status\":1,\"reason\":\"interrupted\"}"), std::string::npos) << json;
}

TEST_F(Unattended, APipeInAFilesPlaceIsNamedAtOnceAndNeverWaitedOn) {
  MakePackage();
  struct Case {
    const char* pipe;       // made a named pipe, with no writer
    const char* package;    // QFMfile
    const char* words;      // on stderr
  } cases[] = {
      {"home/Prtcfg.ini", "res/release.QFM", "Prtcfg.ini: it is a named pipe, not a file"},
      {"home/downtoolcfg.ini", "res/release.QFM", "downtoolcfg.ini: it is a named pipe, not a file"},
      {"res/pipe.QFM", "res/pipe.QFM", "pipe.QFM was not accepted"},
      {"home/Pipe.lng", "res/release.QFM", "Pipe.lng: it is a named pipe, not a file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pipe);
    Configure(dir / c.package);
    ASSERT_TRUE(RemoveTree(dir / c.pipe));
    ASSERT_EQ(::mkfifo((dir / c.pipe).c_str(), 0644), 0);
    // Killed after 60 s should it ever wait on the pipe again.
    RunOutput r = RunCommand(dir / "run", std::string("FLASHERY_TIME_SCALE=") + kScale + " FLASHERY_RUNTIME_DIR=" +
                                              dir.path() + " timeout -s KILL 60",
                             {BinPath("flashery"), "commandline", "--home", dir / "home", "--sim", dir / "sim",
                              "--wait-s", "1"});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find(c.words), std::string::npos) << r.err;
    ASSERT_TRUE(RemoveTree(dir / c.pipe));
  }
}

}  // namespace
}  // namespace flashery
