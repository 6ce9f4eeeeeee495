// The production line end to end: flashery-sim serves three units in each
// of eight sockets, flashery commandline --continuous --file-sets binds each
// to the port its socket is mapped to (the map reverses the socket order)
// and writes the whole release to every unit; what each unit stored is
// compared with the package's images and the file sets byte for byte.
#include <gtest/gtest.h>

#include <set>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/tests/process_runner.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

using testing::BinPath;
using testing::RunCommand;
using testing::RunOutput;
using testing::SimProcess;

constexpr const char* kScale = "0.02";
constexpr int kSockets = 8, kUnits = 3;

std::string Bytes(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7919 + (i >> 7)) & 0xFF);
  return s;
}

// Files below `root` as relative paths, sorted.
void Collect(const std::string& root, const std::string& rel, std::set<std::string>& out) {
  for (const DirEntry& e : ListFolder(rel.empty() ? root : JoinPath(root, rel))) {
    std::string r = rel.empty() ? e.name : rel + "/" + e.name;
    if (e.isDir) Collect(root, r, out);
    else out.insert(r);
  }
}

class ProductionLine : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"img", "home", "sim", "run", "apps/quillon/presetapp"}) ASSERT_TRUE(MakeDirectories(dir / d));
    ASSERT_TRUE(WriteWholeFile(dir / "home/English.lng", *ReadWholeFile(BinPath("English.lng"))));
    images = {{"mlo", 1, 7000}, {"bl", 2, 6502}, {"nk", 4, 6503}, {"system", 5, 150000}, {"env", 3, 40}};
    unsigned seed = 1;
    for (const auto& im : images) ASSERT_TRUE(WriteWholeFile(dir / ("img/" + im.name), Bytes(im.size, seed++)));
    ASSERT_TRUE(WriteWholeFile(dir / "apps/quillon/presetapp/a.apk", Bytes(30000, 9)));
    Run(dir / "apps", {"zip", "-q", "-r", dir / "apps.zip", "quillon"}, "cd " + testing::Quote(dir / "apps") + " &&");
    std::vector<std::string> create = {BinPath("flashery-pack"), "create", dir / "res/release.QFM", "--product",
                                       "T745", "--version", "V1", "--extend", "apps.zip=" + (dir / "apps.zip")};
    ASSERT_TRUE(MakeDirectories(dir / "res"));
    for (const auto& im : images) create.insert(create.end(), {"--" + im.name, dir / ("img/" + im.name)});
    Run(dir / "run", create);

    // The built-in resources and the GPS set, with their reference lists.
    const std::string r = dir / "res/内置资源", g = dir / "res/GPS";
    for (const char* d : {"我的下载", "我的音乐", "我的影片", "图片收藏", "我的铃声"}) {
      ASSERT_TRUE(MakeDirectories(r + "/" + d));
      ASSERT_TRUE(MakeDirectories(g + "/udisk_bak/" + d));
    }
    ASSERT_TRUE(WriteWholeFile(r + "/我的铃声/ring.mp3", Bytes(20000, 11)));
    ASSERT_TRUE(WriteWholeFile(r + "/图片收藏/welcome.jpg", Bytes(6502, 12)));
    for (const char* d : {"navidat", "configdat", "bin", "archives"}) ASSERT_TRUE(MakeDirectories(g + "/QUILMAP/" + d));
    ASSERT_TRUE(MakeDirectories(g + "/cdrom"));
    ASSERT_TRUE(WriteWholeFile(g + "/QUILMAP/navidat/city.dat", Bytes(50000, 13)));
    Run(dir / "run", {BinPath("flashery-pack"), "list", r, r + "/resfile_pc.txt", "--check", "--relative", "resources"});
    Run(dir / "run", {BinPath("flashery-pack"), "list", g + "/QUILMAP", g + "/QUILMAP/quilfile_pc.txt", "--check",
                      "--relative", "gps"});
    Run(dir / "run", {BinPath("flashery-pack"), "list", g + "/udisk_bak", g + "/udisk_bak/resfile_pc.txt", "--check",
                      "--relative", "backup"});

    // Socket k is mapped to port 9-k.
    std::string map = "[PortMap]\r\n";
    for (int port = 1; port <= kSockets; ++port)
      map += "port" + std::to_string(port) + "=1-1." + std::to_string(kSockets + 1 - port) + "\r\n";
    ASSERT_TRUE(WriteWholeFile(dir / "home/downtoolcfg.ini",
                               "[Language]\r\ncurrentLang=1033\r\n[checkinfo]\r\nchoseBootloader=1\r\nchoseKernel=1\r\n"
                               "choseSYS=1\r\nchoseGPS=1\r\nchoseRes=1\r\n[FilePath]\r\niNandfile=" + (dir / "res") +
                                   "\r\n" + map));
  }

  void Run(const std::string& where, const std::vector<std::string>& args, const std::string& env = "") {
    RunOutput r = RunCommand(where, env, args);
    ASSERT_EQ(r.status, 0) << args[0] << " " << args[1] << "\n" << r.out << r.err;
  }

  std::string Env() const { return std::string("FLASHERY_TIME_SCALE=") + kScale + " FLASHERY_RUNTIME_DIR=" + dir.path(); }

  void ExpectUnitStored(const std::string& serial) {
    SCOPED_TRACE(serial);
    const std::string h = dir / ("sim/" + serial);
    for (const auto& im : images) {
      auto stored = ReadWholeFile(h + "/images/image_" + std::to_string(im.code) + ".bin");
      EXPECT_TRUE(stored && *stored == *ReadWholeFile(dir / ("img/" + im.name))) << im.name;
    }
    struct Area {
      const char* area;
      std::string set;
    };
    for (const Area& a : {Area{"udisk", dir / "res/内置资源"}, Area{"gpsdata", dir / "res/GPS"},
                          Area{"quillon", dir / "home/quillon"}}) {
      std::set<std::string> local, stored;
      Collect(a.set, "", local);
      Collect(h + "/storage/" + a.area, "", stored);
      std::erase_if(local, [](const std::string& f) { return f.ends_with("_pc.txt"); });
      EXPECT_EQ(stored, local) << a.area;
      for (const std::string& f : local)
        EXPECT_TRUE(ReadWholeFile(a.set + "/" + f) == ReadWholeFile(h + "/storage/" + a.area + "/" + f)) << f;
    }
    EXPECT_NE(ReadWholeFile(h + "/report.json").value_or("").find("\"rejected\": []"), std::string::npos);
  }

  struct Image {
    std::string name;
    int code;
    size_t size;
  };
  std::vector<Image> images;
  testing::TempDir dir;
};

size_t CountOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(ProductionLine, ContinuousServiceWritesTheWholeReleaseToEveryUnitOnItsSocketsPort) {
  SimProcess sim(dir / "sim",
                 {"--count", std::to_string(kSockets), "--units", std::to_string(kUnits), "--usb-prefix", "1-1.",
                  "--unit-gap-ms", "500"},
                 kScale);
  ASSERT_TRUE(sim.ready(dir / "sim"));
  // The service runs until SIGTERM: in the background, exec'd by the shell
  // so the signal reaches it.
  std::string cmd = "exec env " + Env();
  for (const std::string& a : {BinPath("flashery"), std::string("commandline"), std::string("--continuous"),
                               std::string("--file-sets"), std::string("--ports"), std::string("8"),
                               std::string("--home"), dir / "home", std::string("--sim"), dir / "sim",
                               std::string("--json"), dir / "run.json"})
    cmd += " " + testing::Quote(a);
  cmd += " >" + testing::Quote(dir / "run/out") + " 2>" + testing::Quote(dir / "run/err") + " </dev/null";
  const char* argv[] = {"/bin/sh", "-c", cmd.c_str(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  std::string out;
  for (int i = 0; i < 6000 && CountOf(out, "\nunit ") + (out.rfind("unit ", 0) == 0) < kSockets * kUnits; ++i) {
    ::usleep(50000);  // a bounded wait for the 24 lines (at most 300 s)
    out = ReadWholeFile(dir / "run/out").value_or("");
  }
  ::kill(pid, SIGTERM);
  int status = -1;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  out = ReadWholeFile(dir / "run/out").value_or("");
  std::string err = ReadWholeFile(dir / "run/err").value_or("");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << out << err;

  // One line per unit: on the port of its socket, ok.
  for (int socket = 1; socket <= kSockets; ++socket)
    for (int unit = 1; unit <= kUnits; ++unit) {
      char serial[32];
      std::snprintf(serial, sizeof serial, unit == 1 ? "SIM%04d" : "SIM%04d-U%d", socket, unit);
      std::string line = "unit " + std::string(serial) + " socket 1-1." + std::to_string(socket) + " port " +
                         std::to_string(kSockets + 1 - socket) + ": ok";
      EXPECT_EQ(CountOf(out, line), 1u) << line << "\n" << out;
      ExpectUnitStored(serial);
    }
  EXPECT_NE(out.find("served 24 units: 24 ok, 0 failed, 0 stopped"), std::string::npos) << out;
  std::string json = ReadWholeFile(dir / "run.json").value_or("");
  EXPECT_EQ(CountOf(json, "\"type\":\"summary\""), 24u);
  EXPECT_EQ(CountOf(json, "\"result\":\"ok\""), 24u);
}

TEST_F(ProductionLine, FileSetsRefusedByTheirCheckStopTheRunBeforeAnyHandsetIsTouched) {
  // A built-in resources folder that no longer matches its reference list.
  ASSERT_TRUE(RemoveTree(dir / "res/内置资源/我的铃声"));
  SimProcess sim(dir / "sim", {"--count", "1"}, kScale);
  ASSERT_TRUE(sim.ready(dir / "sim"));
  RunOutput r = RunCommand(dir / "run", Env(),
                           {BinPath("flashery"), "commandline", "--file-sets", "--home", dir / "home", "--sim",
                            dir / "sim", "--wait-s", "5"});
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_NE(r.err.find("the built-in resources were not accepted"), std::string::npos) << r.err;
  std::set<std::string> stored;
  Collect(dir / "sim/SIM0001", "", stored);
  EXPECT_EQ(stored, std::set<std::string>{"report.json"});
}

}  // namespace
}  // namespace flashery
