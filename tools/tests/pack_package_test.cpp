// flashery-pack create / inspect / verify / extract, run as the operator
// runs them.
#include <map>

#include "tools/tests/pack_runner.h"

namespace flashery {
namespace {

using ToolRun = testing::RunOutput;

class PackToolTest : public testing::PackTest {
 protected:
  std::string Input(const std::string& name, size_t size, int seed) {
    std::string bytes(size, '\0');
    uint32_t x = 0x9E3779B9u * static_cast<uint32_t>(seed + 1);
    for (auto& c : bytes) {
      x = x * 1664525u + 1013904223u;
      c = static_cast<char>(x >> 24);
    }
    EXPECT_TRUE(WriteWholeFile(dir_ / name, bytes));
    inputs_[name] = bytes;
    return dir_ / name;
  }
  // A package with every kind of section.
  std::string FullPackage() {
    const std::string pkg = dir_ / "full.qfm";
    ToolRun r = Pack({"create", pkg, "--product", "T745", "--version", "V2.1", "--bl", Input("bl", 900, 1),
                  "--nk", Input("nk", 70000, 2), "--mlo", Input("mlo", 3, 3), "--system", Input("sys", 200001, 4),
                  "--userdata", Input("ud", 0, 5), "--cache", Input("cache", 17, 6), "--recovery",
                  Input("rec", 4096, 7), "--env", Input("env", 40, 8), "--extend",
                  "logo.bin=" + Input("logo", 1234, 9), "--extend", "presetapp.zip=" + Input("zip", 99, 10),
                  "--system-name", "system.img", "--bl-name", "eboot.nb0"});
    EXPECT_EQ(r.status, 0) << r.err;
    return pkg;
  }
  void FlipByte(const std::string& path, size_t at) {
    std::string b = ReadWholeFile(path).value();
    b[at] = static_cast<char>(b[at] ^ 0x5A);
    ASSERT_TRUE(WriteWholeFile(path, b));
  }

  std::map<std::string, std::string> inputs_;
};

TEST_F(PackToolTest, CreateVerifyInspectExtractRoundTrip) {
  const std::string pkg = FullPackage();
  ToolRun v = Pack({"verify", pkg});
  EXPECT_EQ(v.status, 0) << v.err;
  EXPECT_NE(v.out.find(" :V2.1 , :  system.img"), std::string::npos) << v.out;

  ToolRun i = Pack({"inspect", pkg});
  ASSERT_EQ(i.status, 0) << i.err;
  EXPECT_NE(i.out.find("product       T745"), std::string::npos) << i.out;
  EXPECT_NE(i.out.find("good)"), std::string::npos);
  EXPECT_NE(i.out.find("BL        1       0x0000033C 900"), std::string::npos) << i.out;
  EXPECT_NE(i.out.find("presetapp.zip"), std::string::npos);

  const std::vector<std::pair<std::string, std::string>> sections = {
      {"BL", "bl"},      {"nk", "nk"},     {"MLO", "mlo"},         {"system", "sys"},         {"USERDATA", "ud"},
      {"cache", "cache"}, {"Recovery", "rec"}, {"env", "env"}, {"logo.bin", "logo"}, {"Extend2", "zip"}};
  for (const auto& [section, input] : sections) {
    SCOPED_TRACE(section);
    const std::string out = dir_ / ("x-" + input);
    ToolRun e = Pack({"extract", pkg, section, out});
    ASSERT_EQ(e.status, 0) << e.err;
    EXPECT_EQ(ReadWholeFile(out).value_or("?"), inputs_[input]);
  }
}

TEST_F(PackToolTest, ACorruptedByteIsRejected) {
  const std::string pkg = FullPackage();
  // The NK data starts after the header and the BL section.
  FlipByte(pkg, 828 + 900 + 5);
  ToolRun v = Pack({"verify", pkg});
  EXPECT_EQ(v.status, 1);
  EXPECT_NE(v.err.find("NK... CRC校验错误!"), std::string::npos) << v.err;
  EXPECT_NE(v.err.find("(text 104)"), std::string::npos);
  ToolRun e = Pack({"extract", pkg, "NK", dir_ / "nk.out"});
  EXPECT_EQ(e.status, 1);
  EXPECT_FALSE(PathExists(dir_ / "nk.out"));
  EXPECT_FALSE(PathExists(dir_ / "nk.out.partial"));
  EXPECT_EQ(Pack({"extract", pkg, "BL", dir_ / "bl.out"}).status, 0);

  // A changed header byte: rejected with the station's text only.
  const std::string pkg2 = FullPackage();
  FlipByte(pkg2, 0x30);
  v = Pack({"verify", pkg2});
  EXPECT_EQ(v.status, 1);
  EXPECT_EQ(v.err.find("CRC"), std::string::npos) << v.err;
  // extract takes nothing from it either, not even an intact section.
  ToolRun x = Pack({"extract", pkg2, "BL", dir_ / "bl2.out"});
  EXPECT_EQ(x.status, 1);
  EXPECT_NE(x.err.find("(text 104)"), std::string::npos) << x.err;
  EXPECT_FALSE(PathExists(dir_ / "bl2.out"));
  ToolRun i = Pack({"inspect", pkg2});
  EXPECT_EQ(i.status, 0);
  EXPECT_NE(i.out.find("MISMATCH"), std::string::npos);
  // Not a package at all.
  ASSERT_TRUE(WriteWholeFile(dir_ / "short.qfm", "QF\x01\x02"));
  EXPECT_EQ(Pack({"verify", dir_ / "short.qfm"}).status, 1);
  EXPECT_EQ(Pack({"inspect", dir_ / "short.qfm"}).status, 2);
}

TEST_F(PackToolTest, ExtendSectionsAreBoundWithTheSettings) {
  const std::string pkg = FullPackage();
  ASSERT_TRUE(WriteWholeFile(dir_ / "good.ini", "[ExdFile]\nfilename1=other\nfilecode1=1\nfilename2=logo.bin\n"
                                                "filecode2=300\n"));
  ASSERT_TRUE(WriteWholeFile(dir_ / "bad.ini", "[ExdFile]\nfilename1=LOGO.BIN\nfilecode1=1\n"));
  ToolRun good = Pack({"verify", pkg, "--settings", dir_ / "good.ini"});
  EXPECT_EQ(good.status, 0) << good.err;
  EXPECT_NE(good.out.find("Extend1 logo.bin -> code 44"), std::string::npos) << good.out;
  EXPECT_EQ(good.out.find("presetapp.zip"), std::string::npos);  // staged, never bound
  EXPECT_EQ(Pack({"verify", pkg, "--settings", dir_ / "bad.ini"}).status, 1);
  EXPECT_EQ(Pack({"verify", pkg, "--settings", dir_ / "none.ini"}).status, 2);
}

TEST_F(PackToolTest, BadUsageAndUnreadableInput) {
  const std::string in = Input("in", 10, 1);
  const std::string out = dir_ / "o.qfm";
  std::vector<std::string> six = {"create", out, "--product", "p", "--version", "v"};
  for (int k = 0; k < 6; ++k) six.insert(six.end(), {"--extend", "e" + std::to_string(k) + "=" + in});
  const std::vector<std::vector<std::string>> cases = {
      {"create"},
      {"create", out, "--version", "v"},
      {"create", out, "--product", "p", "--version", "v", "--bogus", "1"},
      {"create", out, "--product", "p", "--version", "v", "--bl", in, "--bl", in},
      {"create", out, "--product", "p", "--version", "v", "--extend", "noequals"},
      {"create", out, "--product", "p", "--version", "v", "--extend", "=" + in},
      {"create", out, "--product", "p", "--version", "v", "--nk-name", "n"},
      {"create", out, "--product", std::string(40, 'p'), "--version", "v"},
      {"create", out, "--product", "p", "--version", "v", "--system", dir_ / "missing"},
      six,
      {"inspect"},
      {"inspect", dir_ / "missing.qfm"},
      {"verify", dir_ / "missing.qfm"},
      {"extract", out, "BL"},
      {"frobnicate"},
      {"create", out, "--product=p", "--version", "v", "--bogus=1"},
      {"create", out, "--product", "p", "--version", "v", "--s", in},  // --system or --system-name
      {"list", "--check=yes", dir_.path(), dir_ / "l.txt"},
  };
  for (const auto& args : cases) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    SCOPED_TRACE(joined);
    ToolRun r = Pack(args);
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_FALSE(PathExists(out));
  // "=value", abbreviations, and "--" before the arguments.
  ToolRun dashed = Pack({"create", "--product=p", "--vers", "v", "--bl=" + in, "--", dir_ / "o2.qfm"});
  EXPECT_EQ(dashed.status, 0) << dashed.err;
  EXPECT_TRUE(PathExists(dir_ / "o2.qfm"));
  const std::string pkg = FullPackage();
  EXPECT_EQ(Pack({"extract", pkg, "Extend7", dir_ / "x"}).status, 2);
  EXPECT_EQ(Pack({"extract", pkg, "Extend3", dir_ / "x"}).status, 1);  // not present
  for (const char* cmd : {"create", "inspect", "verify", "extract", "stage", "list", "compare", "check"}) {
    ToolRun h = Pack({cmd, "--help"});
    EXPECT_EQ(h.status, 0) << cmd;
    EXPECT_NE(h.out.find(std::string("Usage: flashery-pack ") + cmd), std::string::npos) << cmd;
  }
}

TEST_F(PackToolTest, CreateStoresHeaderTextsInTheCodePage) {
  const std::string in = Input("sys", 10, 3);
  const std::string out = dir_ / "cp.qfm";
  struct Case {
    std::vector<std::string> options;
    std::string name;
    int status;
    std::string stored;  // the system name field's first bytes
  } cases[] = {
      {{}, "系统.img", 0, "\xCF\xB5\xCD\xB3.img"},
      {{"--codepage", "936"}, "系统.img", 0, "\xCF\xB5\xCD\xB3.img"},
      {{"--codepage", "950"}, "系統.img", 0, "\xA8\x74\xB2\xCE.img"},
      {{"--codepage", "950"}, "系统.img", 2, ""},  // 统 is not in Big5
      {{}, "emoji😀.img", 2, ""},
      {{"--codepage", "437"}, "s.img", 2, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"create", out, "--product", "p", "--version", "v", "--system", in,
                                     "--system-name", c.name};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ToolRun r = Pack(args);
    ASSERT_EQ(r.status, c.status) << c.name << r.err;
    if (c.status == 0) {
      EXPECT_EQ(ReadWholeFile(out).value_or("").substr(0xF8, c.stored.size() + 1), c.stored + std::string(1, '\0'));
      EXPECT_NE(r.out.find(c.name), std::string::npos) << r.out;  // the info line, decoded alike
    }
  }
}

}  // namespace
}  // namespace flashery
