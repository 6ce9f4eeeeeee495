// flashery-pack list / compare / check, run as whoever prepares a resource
// folder runs them.
#include <unistd.h>

#include "platform/codepage.h"
#include "tools/tests/pack_runner.h"

namespace flashery {
namespace {

using ToolRun = testing::RunOutput;

std::string Gbk(const std::string& s) { return EncodeFromUtf8(s, Codepage::Gbk).value_or("?"); }
std::string Big5(const std::string& s) { return EncodeFromUtf8(s, Codepage::Big5).value_or("?"); }
std::string Crlf(const std::string& s) {
  std::string out;
  for (char c : s) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

class PackListsTest : public testing::PackTest {
 protected:
  // A resource folder with both sets; their reference lists made by `list`.
  void MakeResourceFolder() {
    for (const char* f : {"图片收藏", "我的下载", "我的影片", "我的铃声", "我的音乐"})
      MakeDirectories(dir_ / (std::string("res/内置资源/") + f));
    Put("res/内置资源/图片收藏/a.jpg", "abc");
    Put("res/内置资源/我的音乐/歌.mp3", "123456789");
    for (const char* f : {"archives", "bin", "configdat", "navidat"})
      MakeDirectories(dir_ / (std::string("res/GPS/QUILMAP/") + f));
    Put("res/GPS/QUILMAP/bin/b.dat", "A");
    MakeDirectories(dir_ / "res/GPS/cdrom");
    MakeDirectories(dir_ / "res/GPS/udisk_bak");
    ASSERT_EQ(Pack({"list", dir_ / "res/内置资源", dir_ / "res/内置资源/resfile_pc.txt", "--check", "--relative",
                    "resources"})
                  .status,
              0);
    ASSERT_EQ(Pack({"list", dir_ / "res/GPS/QUILMAP", dir_ / "res/GPS/QUILMAP/quilfile_pc.txt", "--check",
                    "--relative", "gps"})
                  .status,
              0);
    for (const char* f : {"图片收藏", "我的下载", "我的影片", "我的铃声", "我的音乐"})
      MakeDirectories(dir_ / (std::string("res/GPS/udisk_bak/") + f));
    ASSERT_EQ(Pack({"list", dir_ / "res/GPS/udisk_bak", dir_ / "res/GPS/udisk_bak/resfile_pc.txt", "--relative",
                    "backup"})
                  .status,
              0);
  }

};

TEST_F(PackListsTest, ListWritesTheStationsList) {
  Put("set/Zeta.txt", "abc");
  Put("set/alpha.txt", "A");
  Put("set/歌/Thumbs.db", "cache");
  Put("set/歌/b.bin", "");
  ToolRun r = Pack({"list", dir_ / "set", dir_ / "set/resfile_pc.txt", "--check"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadWholeFile(dir_ / "set/resfile_pc.txt").value_or(""),
            "alpha.txt;1byte;0x000058e5\r\nZeta.txt;3byte;0x7c749dd6\r\n" +
                Gbk("FILE: 歌\r\nb.bin;0byte;0x00000001\r\n"));
  EXPECT_TRUE(PathExists(dir_ / "set/歌/Thumbs.db"));  // left out, not deleted

  ASSERT_EQ(Pack({"list", dir_ / "set/歌", dir_ / "plain.txt", "--keep-thumbs", "--encoding", "utf-8"}).status, 0);
  EXPECT_EQ(ReadWholeFile(dir_ / "plain.txt").value_or(""), "\xEF\xBB\xBF" "b.bin;0byte\r\nThumbs.db;5byte\r\n");

  // Relative names below GPS are the station's, whatever case the disk uses.
  Put("res/gps/quilmap/bin/x.dat", "A");
  ASSERT_EQ(Pack({"list", dir_ / "res/gps/quilmap", dir_ / "q.txt", "--relative", "gps"}).status, 0);
  EXPECT_EQ(ReadWholeFile(dir_ / "q.txt").value_or(""), "FILE: QUILMAP\\bin\r\nQUILMAP\\bin\\x.dat;1byte\r\n");

  EXPECT_EQ(Pack({"list", dir_ / "set", dir_ / "x.txt", "--relative", "gps"}).status, 2);
  EXPECT_EQ(Pack({"list", dir_ / "absent", dir_ / "x.txt"}).status, 2);
}

TEST_F(PackListsTest, CompareNamesTheFirstFailingEntry) {
  Put("ref.txt", Gbk("FILE: 我的音乐\r\n歌.mp3;9byte;0x869031c3\r\nb.mp3;3byte;0x7c749dd6\r\n"));
  Put("same.txt", Gbk("FILE: 我的音乐\r\n歌.mp3;9byte;0x869031c3\r\nb.mp3;3byte;0x7c749dd6\r\n"));
  Put("more.txt", Gbk("FILE: 我的音乐\r\nnew.mp3;1byte;0x000058e5\r\nB.MP3;3byte;0x7C749DD6\r\n歌.mp3;9byte;0x869031c3\r\n"));
  Put("size.txt", Gbk("FILE: 我的音乐\r\n歌.mp3;8byte;0x869031c3\r\nb.mp3;3byte;0x7c749dd6\r\n"));
  Put("less.txt", Gbk("FILE: 我的音乐\r\n歌.mp3;9byte;0x869031c3\r\n"));

  ToolRun r = Pack({"compare", dir_ / "ref.txt", dir_ / "same.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("identical"), std::string::npos);
  EXPECT_EQ(Pack({"compare", dir_ / "ref.txt", dir_ / "more.txt"}).status, 0);

  r = Pack({"compare", dir_ / "ref.txt", dir_ / "size.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("line 2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("歌.mp3;8byte;0x869031c3"), std::string::npos) << r.out;

  r = Pack({"compare", dir_ / "ref.txt", dir_ / "less.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("missing: b.mp3;3byte;0x7c749dd6"), std::string::npos) << r.out;

  EXPECT_EQ(Pack({"compare", dir_ / "ref.txt", dir_ / "absent.txt"}).status, 2);
}

TEST_F(PackListsTest, CheckRunsTheStationsScanOverAResourceFolder) {
  MakeResourceFolder();
  Put("img/nk.bin", std::string(3000, 'n'));
  ASSERT_EQ(Pack({"create", dir_ / "res/release.QFM", "--product", "T745", "--version", "V1", "--nk",
                  dir_ / "img/nk.bin"})
                .status,
            0);
  ToolRun r = Pack({"check", dir_ / "res"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("package: accepted"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("resources: accepted"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("gps: accepted"), std::string::npos) << r.out;
  EXPECT_FALSE(PathExists(dir_ / "res/内置资源/resfile_cur.txt"));

  // A changed file makes the resources refused with the station's text.
  Put("res/内置资源/我的音乐/歌.mp3", "123456780");
  r = Pack({"check", dir_ / "res", "--sets", "resources"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("resources: (text 23)"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("package:"), std::string::npos);

  // Optional GPS parts missing: the question, answered Cancel, refuses.
  RemoveTree(dir_ / "res/GPS/cdrom");
  r = Pack({"check", dir_ / "res", "--sets", "gps", "--answer", "cancel"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("gps: (text 14)"), std::string::npos) << r.out;
  EXPECT_EQ(Pack({"check", dir_ / "res", "--sets", "gps"}).status, 0);

  EXPECT_EQ(Pack({"check", dir_ / "absent"}).status, 2);
}

TEST_F(PackListsTest, ListWritesTheCodePageAndRefusesWhatItCannotHold) {
  // 涓佷竵 in GBK is also valid UTF-8; Big5 cannot hold 竵.
  Put("set/navidat/涓佷竵.bin", "A");
  Put("big5/歌.mp3", "A");
  const std::string gbkList = Crlf(Gbk("FILE: navidat\n涓佷竵.bin;1byte\n"));
  struct Case {
    const char* folder;
    std::vector<std::string> options;
    std::string settings;  // downtoolcfg.ini of the program folder
    int status;
    std::string expected;
  } cases[] = {
      {"set", {}, "", 0, gbkList},
      {"set", {"--codepage", "936"}, "[Station]\ncodePage=950\n", 0, gbkList},
      {"set", {}, "[Station]\r\ncodePage=950\r\n", 1, ""},
      {"big5", {}, "[Station]\r\ncodePage=950\r\n", 0, Crlf(Big5("歌.mp3;1byte\n"))},
      {"big5", {"--codepage", "950"}, "", 0, Crlf(Big5("歌.mp3;1byte\n"))},
      {"big5", {"--codepage", "65001"}, "", 2, ""},
  };
  for (const Case& c : cases) {
    Put("home/downtoolcfg.ini", c.settings);
    std::vector<std::string> args = {"list", dir_ / c.folder, dir_ / "l.txt"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ToolRun r = Pack(args);
    ASSERT_EQ(r.status, c.status) << r.err;
    if (c.status == 0) {
      EXPECT_EQ(ReadWholeFile(dir_ / "l.txt").value_or(""), c.expected);
    }
    ::unlink((dir_ / "l.txt").c_str());
  }
  Put("home/downtoolcfg.ini", "");
  // An emoji has no GBK form: refused by name, never written as '?'.
  Put("set/navidat/emoji😀.bin", "A");
  ToolRun r = Pack({"list", dir_ / "set", dir_ / "l.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("emoji😀.bin"), std::string::npos) << r.err;
  EXPECT_FALSE(PathExists(dir_ / "l.txt"));
  EXPECT_EQ(Pack({"list", dir_ / "set", dir_ / "l.txt", "--encoding", "utf-8"}).status, 0);
}

}  // namespace
}  // namespace flashery
