// A resource folder as it is shipped: sets prepared on the original platform
// with reference lists written there (GBK, CR LF), and what a check needs
// around it.
#pragma once

#include <string>

#include "filesets/scan_context.h"
#include "filesets/tests/fileset_fixture.h"
#include "platform/profile.h"
#include "text/prompter.h"
#include "text/text_table.h"

namespace flashery::testing {

inline TextTable ScanTexts() {
  TextTable t;
  t.LoadFrom(ProfileDocument::Parse("[Text]\n222=\" <cdrom>\"\n223=\" <udisk_bak>\"\n224=Missing:\n"));
  return t;
}

// The built-in resources set (or the GPS backup part) below `folder`, with
// the reference list a station-side listing of it gave on the original
// platform: relative names (the list holds "图片收藏"), check values, in
// the file system's order (upper-cased UTF-16: 图 U+56FE before 我 U+6211,
// then 下 U+4E0B, 影 U+5F71, 铃 U+94C3, 音 U+97F3).
inline void MakeResourcesSet(const std::string& folder) {
  PutFile(folder, "图片收藏/a.jpg", "abc");
  PutFolder(folder, "我的下载");
  PutFile(folder, "我的影片/m.avi", "123456789");
  PutFile(folder, "我的铃声/ring.mp3", "A");
  PutFolder(folder, "我的音乐");
  PutFile(folder, "resfile_pc.txt", Crlf(Gbk("FILE: 图片收藏\n"
                                             "图片收藏\\a.jpg;3byte;0x7c749dd6\n"
                                             "FILE: 我的下载\n"
                                             "FILE: 我的影片\n"
                                             "我的影片\\m.avi;9byte;0x869031c3\n"
                                             "FILE: 我的铃声\n"
                                             "我的铃声\\ring.mp3;1byte;0x000058e5\n"
                                             "FILE: 我的音乐\n")));
}

// The GPS set below root/GPS with both optional parts.
inline void MakeGpsSet(const std::string& root, const std::string& gpsName = "GPS",
                       const std::string& quilmapName = "QUILMAP") {
  std::string q = root + "/" + gpsName + "/" + quilmapName;
  PutFile(q, "archives/a.dat", "abc");
  PutFolder(q, "bin");
  PutFolder(q, "configdat");
  PutFile(q, "navidat/n.dat", "A");
  PutFile(q, "quilfile_pc.txt", Crlf("FILE: QUILMAP\\archives\n"
                                     "QUILMAP\\archives\\a.dat;3byte;0x7c749dd6\n"
                                     "FILE: QUILMAP\\bin\n"
                                     "FILE: QUILMAP\\configdat\n"
                                     "FILE: QUILMAP\\navidat\n"
                                     "QUILMAP\\navidat\\n.dat;1byte;0x000058e5\n"));
  PutFile(root + "/" + gpsName, "cdrom/setup.exe", "A");
  MakeResourcesSet(root + "/" + gpsName + "/udisk_bak");
}

struct ScanBench {
  TempDir dir;
  TextTable texts = ScanTexts();
  RecordingPrompter prompter;
  RecordingScanReporter reporter;
  std::string root() const { return dir.path() + "/res"; }
  std::string app() const { return dir.path() + "/app"; }
  ScanContext Context() { return ScanContext{root(), app(), texts, prompter, reporter}; }
};

}  // namespace flashery::testing
