// flashery-pack list: lists a folder into a list file the way the station
// lists a set, so a reference list made here is the list the station makes
// of the same folder. Names are written in the station's code page
// (--codepage, else the program folder's setting, else GBK) unless
// --encoding utf-8 asks for UTF-8 (with a byte order mark, which is how a
// list declares UTF-8); a name the list cannot hold is refused (exit 1),
// never written as '?'. The original platform's thumbnail caches are left out (not
// deleted) unless --keep-thumbs, and so is the list file itself, with its
// partner when it bears one of the station's list names.
#include <unistd.h>

#include <climits>
#include <cstdio>

#include "filesets/fileset_layout.h"
#include "filesets/list_writer.h"
#include "filesets/set_listing.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/pack_command.h"
#include "tools/pack_package_support.h"

namespace flashery::pack {
namespace {

constexpr const char* kName = "list";

std::string Absolute(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return path;
  return JoinPath(cwd, path);
}

// The list's own name and, for the station's list names, the other list of
// the same set.
ListFilter ToolFilter(const std::string& outName, bool keepThumbs) {
  ListFilter f;
  f.enabled = true;
  f.removeThumbnails = false;
  if (!keepThumbs) {
    f.AddFile("Thumbs.db");
    f.AddFile("ehThumbs.db");
  }
  const char* pairs[][2] = {{kResourcesReferenceList, kResourcesCurrentList}, {kGpsReferenceList, kGpsCurrentList}};
  for (auto& p : pairs) {
    if (EqualsNoCase(outName, p[0]) || EqualsNoCase(outName, p[1])) {
      f.AddFile(p[0]);
      f.AddFile(p[1]);
      return f;
    }
  }
  f.AddFile(outName);
  return f;
}

int RunList(const std::vector<std::string>& args) {
  ParsedArgs a = ParseArgs(args, {"relative", "encoding", "codepage"}, {}, {"check", "keep-thumbs"});
  if (!a.error.empty()) return Fail(kName, a.error, kUsage);
  bool withCheck = a.Has("check");
  bool keepThumbs = a.Has("keep-thumbs");
  if (a.positional.size() != 2) return Fail(kName, "expects FOLDER and OUT (see --help)", kUsage);
  std::string folder = Absolute(a.positional[0]);
  const std::string& out = a.positional[1];
  if (!IsDirectory(folder)) return Fail(kName, "not a folder: " + a.positional[0], kUsage);

  ListOptions options;
  options.withCheck = withCheck;
  options.filter = ToolFilter(BaseName(out), keepThumbs);
  std::string cpError;
  std::optional<Codepage> codepage = CommandCodepage(a, cpError);
  if (!codepage) return Fail(kName, cpError, kUsage);
  options.codepage = *codepage;
  std::string encoding = a.Get("encoding").value_or("codepage");
  if (EqualsNoCase(encoding, "gbk")) options.codepage = Codepage::Gbk;  // the code page 936, as before
  else if (EqualsNoCase(encoding, "utf-8") || EqualsNoCase(encoding, "utf8")) options.codepage = Codepage::Utf8;
  else if (!EqualsNoCase(encoding, "codepage")) return Fail(kName, "--encoding is codepage, gbk or utf-8", kUsage);

  if (auto relative = a.Get("relative")) {
    SetKind kind;
    if (*relative == "gps") kind = SetKind::Gps;
    else if (*relative == "resources") kind = SetKind::Resources;
    else if (*relative == "backup") kind = SetKind::Backup;
    else return Fail(kName, "--relative is gps, resources or backup", kUsage);
    auto logical = StationNameInSet(folder, kind);
    if (!logical) return Fail(kName, "FOLDER does not lie in a set folder of that kind: " + folder, kUsage);
    options.naming = {true, AnchorOf(kind), *logical};
  }

  if (!WriteWholeFile(out, "")) return Fail(kName, "cannot write " + out, kUsage);
  ListRefusal refused;
  if (!WriteList(folder, out, options, &refused)) {
    ::unlink(out.c_str());
    if (!refused.name.empty()) return Fail(kName, "refused " + refused.name + ": " + refused.reason, kRejected);
    return Fail(kName, "cannot list " + folder, kUsage);
  }
  std::printf("%s: listed %s\n", out.c_str(), folder.c_str());
  return kGood;
}

}  // namespace

FLASHERY_PACK_COMMAND({kName, "FOLDER OUT [--check] [--relative gps|resources|backup] [--codepage N] "
                              "[--encoding codepage|gbk|utf-8] [--keep-thumbs]",
                       "list a folder into a list file as the station lists a set",
                       "Writes OUT, the listing of FOLDER and everything below it in the original\n"
                       "file system's order: \"FILE: <folder>\" before each folder's entries, then\n"
                       "\"<name>;<size>byte\" per file, or \"<name>;<size>byte;0x<check>\" with --check.\n"
                       "Lines end in CR LF; names use '\\' and are written in the station's code\n"
                       "page: --codepage 936 (GBK), 950 (Big5) or 1252, default the program folder's\n"
                       "setting, else 936; --encoding gbk is code page 936, utf-8 writes UTF-8 with a\n"
                       "byte order mark. A name the list cannot hold - a character the code page\n"
                       "lacks, '\\', CR, LF or TAB - is refused and named, never written as '?'.\n"
                       "--relative names every entry by its path below the set folder, as the\n"
                       "station does when a reference list holds the set's marker: gps (below GPS,\n"
                       "for GPS/QUILMAP), resources (below 内置资源), backup (below udisk_bak).\n"
                       "Thumbs.db and ehThumbs.db are left out unless --keep-thumbs (a reference\n"
                       "list that names them makes the station keep them); OUT itself is left out,\n"
                       "with its partner list when it is named resfile_pc.txt, quilfile_pc.txt or\n"
                       "their _cur.txt forms.\n"
                       "Exit status: 0 written, 1 a name refused, 2 usage error or a folder that\n"
                       "cannot be listed.",
                       &RunList});

}  // namespace flashery::pack
