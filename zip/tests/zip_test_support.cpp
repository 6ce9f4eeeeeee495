#include "zip/tests/zip_test_support.h"

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "zip/tests/test_corpus.h"

namespace flashery::test {

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

int Sh(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  MakeDirectories(DirName(path));
  if (!WriteWholeFile(path, bytes)) throw std::runtime_error("cannot write " + path);
}

std::string ReadBytes(const std::string& path) { return ReadWholeFile(path).value_or(std::string()); }

static std::string AsString(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

void MakeSampleTree(const std::string& root) {
  const std::string q = root + "/quillon";
  WriteBytes(q + "/presetapp/Browser.apk", AsString(MixedBytes(300000, 1)));
  WriteBytes(q + "/presetapp/readme.txt", AsString(TextBytes(5000, 2)));
  WriteBytes(q + "/presetapp/中文应用/说明.txt", AsString(TextBytes(777, 3)));
  WriteBytes(q + "/presetapp/中文应用/图标.png", AsString(RandomBytes(4096, 4)));
  WriteBytes(q + "/presetapp/empty.dat", "");
  WriteBytes(q + "/a/b/c/d/e/f/g/leaf.bin", AsString(StructuredBytes(70000, 5)));
  WriteBytes(q + "/config.ini", "[brand]\r\nname=quillon\r\n");
  MakeDirectories(q + "/emptyfolder");
}

// Every file and folder below root (folders with a trailing '/') and its bytes.
static void Walk(const std::string& root, const std::string& rel, std::map<std::string, std::string>& out) {
  for (const auto& e : ListFolder(rel.empty() ? root : root + "/" + rel)) {
    std::string r = rel.empty() ? e.name : rel + "/" + e.name;
    out[r + (e.isDir ? "/" : "")] = e.isDir ? "" : ReadBytes(root + "/" + r);
    if (e.isDir) Walk(root, r, out);
  }
}

std::vector<std::string> TreeDifferences(const std::string& a, const std::string& b) {
  std::map<std::string, std::string> ta, tb;
  std::vector<std::string> diff;
  Walk(a, "", ta);
  Walk(b, "", tb);
  for (const auto& [path, bytes] : ta) {
    if (!tb.count(path)) diff.push_back("only in first: " + path);
    else if (tb[path] != bytes) diff.push_back("differs: " + path);
  }
  for (const auto& [path, bytes] : tb)
    if (!ta.count(path)) diff.push_back("only in second: " + path);
  return diff;
}

bool InfoZip(const std::string& dir, const std::string& folder, const std::string& out,
             const std::string& options) {
  return Sh("cd " + Quote(dir) + " && zip -q -r " + options + " " + Quote(out) + " " + Quote(folder)) == 0;
}

// The system's interpreter (the Debian package the setup installs), else
// whatever python3 the PATH gives.
static std::string Python() { return PathExists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

static std::string ScriptPath() {
  if (const char* src = std::getenv("FLASHERY_SOURCE")) return std::string(src) + "/zip/tests/make_zip.py";
  return FLASHERY_ZIP_TEST_SCRIPT;
}

bool MakeZip(const std::string& layoutJson, const std::string& out, const std::string& scratch) {
  std::string contents = scratch + "/archive.json";
  WriteBytes(contents, layoutJson);
  return Sh(Python() + " " + Quote(ScriptPath()) + " " + Quote(contents) + " " + Quote(out)) == 0;
}

bool PythonZip(const std::string& dir, const std::string& folder, const std::string& out,
               const std::string& compression) {
  std::string py =
      "import os, sys, zipfile\n"
      "os.chdir(sys.argv[1])\n"
      "with zipfile.ZipFile(sys.argv[3], 'w', zipfile." + compression + ") as z:\n"
      "    for d, subs, files in os.walk(sys.argv[2]):\n"
      "        subs.sort()\n"
      "        z.write(d)\n"
      "        for f in sorted(files):\n"
      "            z.write(os.path.join(d, f))\n";
  std::string script = out + ".py";
  WriteBytes(script, py);
  return Sh(Python() + " " + Quote(script) + " " + Quote(dir) + " " + Quote(folder) + " " + Quote(out)) == 0;
}

Embedded EmbedArchive(const std::string& archive, const std::string& out, size_t prefix, size_t suffix) {
  std::string bytes = AsString(RandomBytes(prefix, 77)) + ReadBytes(archive);
  Embedded e{prefix, bytes.size() - prefix};
  bytes += AsString(RandomBytes(suffix, 78));
  WriteBytes(out, bytes);
  return e;
}

std::string HexOf(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace flashery::test
