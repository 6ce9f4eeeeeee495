// The zip reader on archives made at test time by Info-ZIP zip, Python's
// zipfile and make_zip.py, embedded at an offset inside a larger file as
// they are in a package; extracted trees are compared byte for byte.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/files.h"
#include "platform/paths.h"
#include "zip/archive_context.h"
#include "zip/archive_region.h"
#include "zip/entry_name.h"
#include "zip/output_window.h"
#include "zip/tests/test_corpus.h"
#include "zip/tests/zip_test_support.h"
#include "zip/zip_format.h"
#include "zip/zip_reader.h"

namespace flashery {
namespace {

using test::TempDir;

struct Opened {
  int fd = -1;
  ArchiveRegion region;
  std::vector<ZipEntry> entries;
  ZipReader reader;
  int count = -1;
  ~Opened() {
    if (fd >= 0) ::close(fd);
  }
};

// Opens the archive embedded at `e` in `file` as staging does: the size
// scan finds the directory, then the reader lists it.
void Open(Opened& o, const std::string& file, test::Embedded e) {
  o.fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(o.fd, 0);
  o.region.offset = static_cast<uint32_t>(e.start);
  o.region.size = static_cast<uint32_t>(e.size);
  ASSERT_TRUE(ScanArchiveSize(o.fd, o.region));
  ASSERT_EQ(o.reader.Attach(o.fd, e.start, e.size, o.region.centralDirOffset), 1);
  o.count = o.reader.ReadDirectory(o.entries);
}

std::string RelPath(const ZipEntry& e) {
  std::string out;
  for (const auto& c : e.Components()) out += (out.empty() ? "" : "/") + c;
  return out;
}

// Writes every entry under dest; the number of entries that failed.
int ExtractAll(Opened& o, const std::string& dest) {
  int failed = 0;
  for (const auto& e : o.entries) {
    std::string rel = RelPath(e);
    if (e.isDirectory) {
      MakeDirectories(dest + "/" + rel);
      continue;
    }
    MakeDirectories(DirName(dest + "/" + rel));
    if (o.reader.ExtractEntry(e, dest + "/" + rel) != 1) ++failed;
  }
  return failed;
}

TEST(ZipReader, InfoZipAndPythonArchivesExtractByteForByte) {
  TempDir t;
  test::MakeSampleTree(t / "src");
  for (std::string maker : {"-0", "-1", "-6", "-9", "-0 -D", "-9 -D", "ZIP_STORED", "ZIP_DEFLATED"}) {
    SCOPED_TRACE(maker);
    std::string zip = t / "a.zip", dest = t / ("out" + maker);
    RemoveTree(zip);
    if (maker.rfind("ZIP_", 0) == 0) ASSERT_TRUE(test::PythonZip(t / "src", "quillon", zip, maker));
    else ASSERT_TRUE(test::InfoZip(t / "src", "quillon", zip, maker));
    std::string pkg = zip + ".pkg";
    Opened o;
    ASSERT_NO_FATAL_FAILURE(Open(o, pkg, test::EmbedArchive(zip, pkg, 4099, 1234)));
    ASSERT_GT(o.count, 0);
    EXPECT_EQ(o.count, static_cast<int>(o.entries.size()));
    EXPECT_EQ(ExtractAll(o, dest), 0) << o.reader.diagnostic();
    auto diff = test::TreeDifferences(t / "src", dest);
    std::vector<std::string> want;  // without folder entries an empty folder cannot travel
    if (maker.find("-D") != std::string::npos) want.push_back("only in first: quillon/emptyfolder/");
    EXPECT_EQ(diff, want);
  }
}

TEST(ZipReader, EntriesNamePathsWithBackslashesAndImplyMissingFolders) {
  TempDir t;
  test::MakeSampleTree(t / "src");
  ASSERT_TRUE(test::InfoZip(t / "src", "quillon", t / "d.zip", "-6 -D"));
  Opened o;
  ASSERT_NO_FATAL_FAILURE(Open(o, t / "d.zip", {0, test::ReadBytes(t / "d.zip").size()}));
  // The stored entries first, then the implied folders, each once, a deep
  // file's folders deepest first.
  std::vector<std::string> implied;
  for (const auto& e : o.entries) {
    EXPECT_EQ(e.isDirectory, e.implied) << e.name;
    if (e.implied) implied.push_back(e.path + "|" + e.name);
    else EXPECT_TRUE(implied.empty()) << e.name;
  }
  auto at = [&](const std::string& s) { return std::find(implied.begin(), implied.end(), s) - implied.begin(); };
  EXPECT_LT(at("quillon\\a\\b\\c\\d\\e\\f|g"), at("quillon\\a|b"));
  EXPECT_LT(at("quillon\\presetapp|中文应用"), static_cast<long>(implied.size()));
  std::sort(implied.begin(), implied.end());
  EXPECT_EQ(std::adjacent_find(implied.begin(), implied.end()), implied.end());
  EXPECT_EQ(implied.size(), 10u);  // quillon, presetapp, 中文应用, a..g

  // With folder entries: quillon/presetapp/ is a folder entry with path quillon.
  ASSERT_TRUE(test::InfoZip(t / "src", "quillon", t / "f.zip", "-6"));
  Opened f;
  ASSERT_NO_FATAL_FAILURE(Open(f, t / "f.zip", {0, test::ReadBytes(t / "f.zip").size()}));
  std::map<std::string, const ZipEntry*> byName;
  for (const auto& x : f.entries) {
    EXPECT_FALSE(x.implied);
    byName[x.name] = &x;
  }
  ASSERT_TRUE(byName.count("presetapp") && byName.count("leaf.bin") && byName.count("empty.dat"));
  EXPECT_TRUE(byName["presetapp"]->isDirectory);
  EXPECT_EQ(byName["presetapp"]->path, "quillon");
  EXPECT_EQ(byName["leaf.bin"]->path, "quillon\\a\\b\\c\\d\\e\\f\\g");
  EXPECT_EQ(byName["leaf.bin"]->method, 8);
  EXPECT_FALSE(byName["leaf.bin"]->ratio.empty());
  EXPECT_EQ(byName["empty.dat"]->ratio, "");
}

TEST(ZipReader, TraditionalEncryptionWithInfoZipAndTheEmptyPassword) {
  TempDir t;
  test::MakeSampleTree(t / "src");
  ASSERT_TRUE(test::InfoZip(t / "src", "quillon", t / "p.zip", "-6 -P secret"));
  Opened o;
  ASSERT_NO_FATAL_FAILURE(Open(o, t / "p.zip", {0, test::ReadBytes(t / "p.zip").size()}));
  for (const auto& e : o.entries) EXPECT_EQ(e.encrypted, !e.isDirectory) << e.name;

  // A wrong password never yields a file: the header check refuses it
  // (result 0), or, when its check byte matches by chance, the CRC does.
  o.reader.SetPassword("wrong");
  int refusedByHeader = 0, files = 0;
  for (const auto& e : o.entries) {
    if (e.isDirectory) continue;
    ++files;
    DiscardSink sink;
    int r = o.reader.ExtractEntryTo(e, sink);
    EXPECT_LT(r, 1);
    if (r == 0) {
      ++refusedByHeader;
      EXPECT_EQ(o.reader.diagnostic(), zip_text::kBadPassword);
      EXPECT_EQ(sink.total, 0u);
    }
  }
  EXPECT_GE(refusedByHeader, files - 1);

  o.reader.SetPassword("secret");
  EXPECT_EQ(ExtractAll(o, t / "out"), 0) << o.reader.diagnostic();
  auto diff = test::TreeDifferences(t / "src", t / "out");
  EXPECT_TRUE(diff.empty()) << diff.front();

  // The station stages without a password: entries encrypted with the
  // empty one open through the archive context as it is.
  std::string bin = test::HexOf(std::string(70000, 'z') + "end");
  ASSERT_TRUE(test::MakeZip(R"({"entries": [
      {"name": "s/stored.txt", "data": "plain words", "method": 0, "password": ""},
      {"name": "s/deflated.bin", "data_hex": ")" + bin + R"(", "method": 8, "password": ""},
      {"name": "s/described.txt", "data": "with a data descriptor", "password": "", "descriptor": true},
      {"name": "s/old.txt", "data": "version 1.0", "method": 0, "password": "", "version_needed": 10}]})",
                            t / "e.zip", t.path()));
  int fd = ::open((t / "e.zip").c_str(), O_RDONLY);
  ArchiveRegion region;
  region.size = static_cast<uint32_t>(test::ReadBytes(t / "e.zip").size());
  ASSERT_TRUE(ScanArchiveSize(fd, region));
  auto context = OpenArchiveContext(fd, 0, region.size, region.centralDirOffset);
  ASSERT_TRUE(context);
  MakeDirectories(t / "e");
  for (const auto& e : context->entries)
    EXPECT_EQ(ExtractContextEntry(*context, e, t / "e/"), 1) << e.name << context->reader.diagnostic();
  EXPECT_EQ(test::ReadBytes(t / "e/stored.txt"), "plain words");
  EXPECT_EQ(test::ReadBytes(t / "e/deflated.bin"), std::string(70000, 'z') + "end");
  EXPECT_EQ(test::ReadBytes(t / "e/described.txt"), "with a data descriptor");
  EXPECT_EQ(test::ReadBytes(t / "e/old.txt"), "version 1.0");
  ::close(fd);
}

TEST(ZipReader, NamesInLegacyCodePagesExtraFieldsCommentsAndLargeDirectories) {
  TempDir t;
  // "应用/说明.txt" in GBK, as an archiver on the original platform wrote it;
  // its bytes hold no 0x5C, but the trail byte of "说" (0xCB 0xB5) must not
  // be split either way.
  std::string gbk = "d3a6d3c32fcbb5c3f72e747874";
  std::string entries;
  for (int i = 0; i < 1200; ++i) {
    entries += R"(,{"name": "many/file_with_a_rather_long_name_to_fill_the_directory_)" + std::to_string(i) +
               R"(.txt", "data": "n)" + std::to_string(i) +
               R"(", "local_extra_hex": "5554050001020304", "central_extra_hex": "", "comment": "PK\u0001\u0002 inside a comment"})";
  }
  ASSERT_TRUE(test::MakeZip(R"({"comment": "short", "entries": [{"name_hex": ")" + gbk +
                                R"(", "data": "gbk named"}, {"name": "utf/名字.txt", "utf8_flag": true, "data": "utf8"})" +
                                entries + "]}",
                            t / "n.zip", t.path()));
  Opened o;
  ASSERT_NO_FATAL_FAILURE(Open(o, t / "n.zip", {0, test::ReadBytes(t / "n.zip").size()}));
  ASSERT_EQ(o.count, 1202 + 3);  // plus the implied folders 应用, utf, many
  EXPECT_EQ(o.entries[0].path, "应用");
  EXPECT_EQ(o.entries[0].name, "说明.txt");
  EXPECT_EQ(o.entries[1].name, "名字.txt");
  VectorSink sink;
  ASSERT_EQ(o.reader.ExtractEntryTo(o.entries[0], sink), 1);
  EXPECT_EQ(std::string(sink.bytes.begin(), sink.bytes.end()), "gbk named");
  // The local extra field differs from the central one: data still found.
  VectorSink last;
  ASSERT_EQ(o.reader.ExtractEntryTo(o.entries[1201], last), 1) << o.reader.diagnostic();
  EXPECT_EQ(std::string(last.bytes.begin(), last.bytes.end()), "n1199");
  EXPECT_GT(o.region.totalBytes, 0u);
  EXPECT_EQ(o.region.records, 1202u);
}

TEST(ZipReader, RefusesNamesThatLeaveTheFolderAndSymbolicLinks) {
  TempDir t;
  const std::string hostile[] = {"../evil.txt", "a/../../evil.txt", "/etc/evil", "\\\\server\\evil",
                                 "C:\\evil.txt", "c:evil.txt", "a\\..\\..\\evil", "..", "./",
                                 std::string("ok/\0x", 5), std::string(256, 'n'), [] {
                                   std::string deep;  // 1,026 bytes of one-letter folders
                                   for (int i = 0; i < 513; ++i) deep += "a/";
                                   return deep;
                                 }()};
  for (const std::string& name : hostile) {
    SCOPED_TRACE(test::HexOf(name));
    std::string json = R"({"entries": [{"name": "good.txt", "data": "x"}, {"name_hex": ")" + test::HexOf(name) +
                       R"(", "data": "y"}]})";
    ASSERT_TRUE(test::MakeZip(json, t / "h.zip", t.path()));
    Opened o;
    ASSERT_NO_FATAL_FAILURE(Open(o, t / "h.zip", {0, test::ReadBytes(t / "h.zip").size()}));
    EXPECT_EQ(o.count, -1);
    EXPECT_TRUE(o.entries.empty());
  }
  ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name": "link", "data": "/etc", "method": 0, "unix_mode": 41471}]})",
                            t / "l.zip", t.path()));
  Opened l;
  ASSERT_NO_FATAL_FAILURE(Open(l, t / "l.zip", {0, test::ReadBytes(t / "l.zip").size()}));
  EXPECT_EQ(l.count, -1);
  // Dots and doubled separators inside a name are harmless and dropped.
  ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name": "./a//b/./c.txt", "data": "c"}]})", t / "d.zip", t.path()));
  Opened d;
  ASSERT_NO_FATAL_FAILURE(Open(d, t / "d.zip", {0, test::ReadBytes(t / "d.zip").size()}));
  ASSERT_GE(d.count, 1);
  EXPECT_EQ(d.entries[0].path, "a\\b");
  EXPECT_EQ(d.entries[0].name, "c.txt");
}

TEST(ZipReader, DamagedEntriesFailAndLeaveNoFileBehind) {
  TempDir t;
  std::string data = test::HexOf(std::string(5000, 'q'));
  struct Case {
    const char* fields;
    int result;
    const char* diagnostic;
  };
  // The local header and the central record agree, both wrong.
  const Case cases[] = {
      {R"("crc_xor": 1, "break_local": true)", -1, zip_text::kCrcMismatch},
      {R"("size_delta": 1, "break_local": true)", -1, zip_text::kLengthMismatch},
      {R"("size_delta": -1, "break_local": true)", -1, zip_text::kLengthMismatch},
      {R"("method": 0, "size_delta": 1, "break_local": true)", -1, zip_text::kLengthMismatch},
      {R"("method": 0, "size_delta": -4000, "break_local": true)", -1, zip_text::kCrcMismatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fields);
    ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name": "ok.txt", "data": "fine"}, {"name": "f.bin", "data_hex": ")" +
                                  data + R"(", )" + c.fields + "}]}",
                              t / "c.zip", t.path()));
    Opened o;
    ASSERT_NO_FATAL_FAILURE(Open(o, t / "c.zip", {0, test::ReadBytes(t / "c.zip").size()}));
    ASSERT_EQ(o.count, 2);
    EXPECT_EQ(o.reader.ExtractEntry(o.entries[0], t / "ok.txt"), 1);
    EXPECT_EQ(o.reader.ExtractEntry(o.entries[1], t / "f.bin"), c.result);
    EXPECT_EQ(o.reader.diagnostic(), c.diagnostic);
    EXPECT_FALSE(PathExists(t / "f.bin"));
    VectorSink sink;  // never more than the declared size reaches the output
    EXPECT_EQ(o.reader.ExtractEntryTo(o.entries[1], sink), c.result);
    EXPECT_LE(sink.bytes.size(), o.entries[1].uncompressedSize);
  }
  // An unsupported method, and compressed data cut off by the end of the
  // archive region (the package goes on with other bytes after it).
  ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name": "f.bin", "data": "abc", "method": 12}]})", t / "m.zip",
                            t.path()));
  Opened m;
  ASSERT_NO_FATAL_FAILURE(Open(m, t / "m.zip", {0, test::ReadBytes(t / "m.zip").size()}));
  VectorSink sink;
  EXPECT_EQ(m.reader.ExtractEntryTo(m.entries[0], sink), -1);
  EXPECT_EQ(m.reader.diagnostic(), zip_text::kUnsupportedMethod);

  auto noise = test::RandomBytes(3000, 1);
  ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name": "f.bin", "data_hex": ")" +
                                test::HexOf(std::string(noise.begin(), noise.end())) + R"("}]})",
                            t / "r.zip", t.path()));
  std::string bytes = test::ReadBytes(t / "r.zip");
  Opened r;
  ASSERT_NO_FATAL_FAILURE(Open(r, t / "r.zip", {0, bytes.size()}));
  // Now pretend the region ends inside the data: the reader must not read on.
  ASSERT_EQ(r.reader.Attach(r.fd, 0, 1500, 0), 1);
  VectorSink cut;
  EXPECT_EQ(r.reader.ExtractEntryTo(r.entries[0], cut), -1);
  EXPECT_TRUE(cut.bytes.empty());
}

// Archives that readers searching from the front, from the end, by the
// central directory or by the local headers would read differently: the
// whole directory is refused, naming the entry to blame.
TEST(ZipReader, RefusesDirectoriesOtherReadersWouldReadOtherwise) {
  TempDir t;
  const std::string good = R"({"name": "q/good.txt", "data": "good"})";
  struct Case {
    std::string entries;  // after the good entry
    std::string layout;   // more LAYOUT keys
    DirectoryRefusal refusal;
    const char* name;
  };
  const Case cases[] = {
      {R"({"name": "q/a.txt", "data": "a", "local_name_hex": "712f622e747874"})", "", DirectoryRefusal::LocalHeader, "q/a.txt"},
      {R"({"name": "q/a.txt", "data": "a", "local_flags_xor": 2048})", "", DirectoryRefusal::LocalHeader, "q/a.txt"},
      {R"({"name": "q/a.txt", "data": "a", "local_flags_xor": 8})", "", DirectoryRefusal::LocalHeader, "q/a.txt"},
      {R"({"name": "q/a.txt", "data": "a", "local_flags_xor": 1})", "", DirectoryRefusal::LocalHeader, "q/a.txt"},
      {R"({"name": "q/a.txt", "data": "a", "local_method": 0})", "", DirectoryRefusal::LocalHeader, "q/a.txt"},
      {R"({"name": "q/a.txt", "data": "a", "crc_xor": 1})", "", DirectoryRefusal::LocalHeader, "q/a.txt"},
      {R"({"name": "q/a.txt", "data": "a", "size_delta": 100})", "", DirectoryRefusal::LocalHeader, "q/a.txt"},
      {R"({"name": "q/a.txt", "data": "a", "local_offset_delta": 3})", "", DirectoryRefusal::LocalHeader, "q/a.txt"},
      {R"({"name": "q/a.txt", "data": "a", "local_offset_delta": 100000})", "", DirectoryRefusal::LocalHeader, "q/a.txt"},
      // Two records, one local entry; one entry's data holding another.
      {R"({"name": "q/good.txt", "data": "good", "same_local_as": 0})", "", DirectoryRefusal::SharedBytes, "q/good.txt"},
      {R"({"name": "q/outer.bin", "contains_next": true}, {"name": "q/inner.txt", "data": "inner"})", "",
       DirectoryRefusal::SharedBytes, "q/inner.txt"},
      {R"({"name": "q/a.txt", "data": "a"})", R"("central_gap": 4,)", DirectoryRefusal::Layout, ""},
      // One path, named twice.
      {R"({"name": "q/good.txt/", "data": ""})", "", DirectoryRefusal::NameClash, "q\\good.txt"},
      {R"({"name": "q/good.txt/inner.txt", "data": "x"})", "", DirectoryRefusal::NameClash, "q\\good.txt"},
      {R"({"name": "q/good.txt", "data": "again"})", "", DirectoryRefusal::NameClash, "q\\good.txt"},
      {R"({"name": "Q/GOOD.TXT", "data": "upper"})", "", DirectoryRefusal::NameClash, "Q\\GOOD.TXT"},
      {R"({"name": "q/Sub/a.txt", "data": "a"}, {"name": "q/sub/b.txt", "data": "b"})", "", DirectoryRefusal::NameClash,
       "q\\sub"},
      // Control characters in names.
      {R"({"name": "q/a\u0001b.txt", "data": "a"})", "", DirectoryRefusal::BadName, "q/a\\x01b.txt"},
      {R"({"name": "q/tab\t.txt", "data": "a"})", "", DirectoryRefusal::BadName, "q/tab\\x09.txt"},
      {R"({"name": "q/line\n", "data": ""})", "", DirectoryRefusal::BadName, "q/line\\x0A"},
      {R"({"name": "q/del\u007f", "data": "a"})", "", DirectoryRefusal::BadName, "q/del\\x7F"},
      // Accepted: a folder named twice, a descriptor with zero local fields.
      {R"({"name": "q/", "data": ""}, {"name": "q/", "data": ""})", "", DirectoryRefusal::None, ""},
      {R"({"name": "q/d.txt", "data": "described", "descriptor": true})", "", DirectoryRefusal::None, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entries);
    ASSERT_TRUE(test::MakeZip("{" + c.layout + R"("entries": [)" + good + "," + c.entries + "]}", t / "r.zip", t.path()));
    // Attached where the end record says, without the size scan (which
    // refuses some of these shapes itself).
    const std::string bytes = test::ReadBytes(t / "r.zip");
    ASSERT_GE(bytes.size(), 22u);
    const auto* end = reinterpret_cast<const uint8_t*>(bytes.data() + bytes.size() - 22);
    Opened o;
    o.fd = ::open((t / "r.zip").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(o.reader.Attach(o.fd, 0, bytes.size(), zipfmt::Le32(end + 16)), 1);
    o.count = o.reader.ReadDirectory(o.entries);
    EXPECT_EQ(o.reader.refusal(), c.refusal) << o.reader.diagnostic();
    EXPECT_EQ(o.reader.refusedName(), c.name);
    if (c.refusal != DirectoryRefusal::None) {
      EXPECT_EQ(o.count, -1);
      EXPECT_TRUE(o.entries.empty());
    } else {
      EXPECT_GT(o.count, 1);
    }
  }
}

// The end record is the one whose directory checks out; two that check out
// and disagree are refused.
TEST(ZipReader, EndRecordsThatDisagreeAreRefused) {
  TempDir t;
  struct Case {
    std::string layout;
    bool found;
    ScanFailure failure;
  };
  const Case cases[] = {
      {R"("end_shadow": true,)", false, ScanFailure::EndRecordsDisagree},
      // Bytes in the comment that look like an end record but describe no
      // directory are passed over.
      {R"("comment": "PK\u0005\u0006\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000",)",
       true, ScanFailure::None},
      {R"("central_gap": 2,)", false, ScanFailure::NoArchive},
      {"", true, ScanFailure::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout);
    ASSERT_TRUE(test::MakeZip("{" + c.layout +
                                  R"("entries": [{"name": "q/a.txt", "data": "a"}, {"name": "q/b.txt", "data": "b"}]})",
                              t / "e.zip", t.path()));
    int fd = ::open((t / "e.zip").c_str(), O_RDONLY | O_CLOEXEC);
    ArchiveRegion region;
    region.size = static_cast<uint32_t>(test::ReadBytes(t / "e.zip").size());
    ScanFailure failure = ScanFailure::NoArchive;
    EXPECT_EQ(ScanArchiveSize(fd, region, &failure), c.found);
    EXPECT_EQ(failure, c.failure);
    if (c.found) {
      EXPECT_EQ(region.records, 2u);
    }
    ::close(fd);
  }
}

// Output only into a regular file of its own, and never past the budget.
TEST(ZipReader, WritesOnlyRegularFilesOfTheirOwnWithinTheBudget) {
  TempDir t;
  ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name": "a.bin", "data": "0123456789"}]})", t / "w.zip", t.path()));
  Opened o;
  ASSERT_NO_FATAL_FAILURE(Open(o, t / "w.zip", {0, test::ReadBytes(t / "w.zip").size()}));
  ASSERT_EQ(o.count, 1);
  const ZipEntry& e = o.entries[0];

  o.reader.SetWriteBudget(9);
  EXPECT_EQ(o.reader.ExtractEntry(e, t / "a.bin"), -1);
  EXPECT_FALSE(PathExists(t / "a.bin"));
  EXPECT_EQ(o.reader.writeBudget(), 9u);
  o.reader.SetWriteBudget(15);
  EXPECT_EQ(o.reader.ExtractEntry(e, t / "a.bin"), 1);
  EXPECT_EQ(o.reader.writeBudget(), 5u);
  EXPECT_EQ(o.reader.ExtractEntry(e, t / "b.bin"), -1);  // a second copy would pass what is declared

  // A pipe is neither blocked on nor written to; a file with another name
  // elsewhere is not changed through this one.
  o.reader.SetWriteBudget(~0ull);
  ASSERT_EQ(::mkfifo((t / "fifo").c_str(), 0644), 0);
  EXPECT_EQ(o.reader.ExtractEntry(e, t / "fifo"), -1);
  test::WriteBytes(t / "elsewhere", "keep");
  ASSERT_EQ(::link((t / "elsewhere").c_str(), (t / "hard").c_str()), 0);
  EXPECT_EQ(o.reader.ExtractEntry(e, t / "hard"), -1);
  EXPECT_EQ(test::ReadBytes(t / "elsewhere"), "keep");
  EXPECT_EQ(o.reader.ExtractEntry(e, t / "a.bin"), 1);  // an ordinary file is written over
  EXPECT_EQ(test::ReadBytes(t / "a.bin"), "0123456789");
}

TEST(EntryName, TheUtf8FlagAloneDecidesTheEncoding) {
  struct Row {
    std::string raw;
    bool flag;
    Codepage legacy;
    std::vector<std::string> components;  // empty: refused
  } rows[] = {
      // 系统 in GBK is also valid UTF-8 (ϵͳ): unflagged, it is GBK.
      {"quillon/\xCF\xB5\xCD\xB3.txt", false, Codepage::Gbk, {"quillon", "系统.txt"}},
      {"quillon/\xCF\xB5\xCD\xB3\xC9\xE8\xD6\xC3.txt", false, Codepage::Gbk, {"quillon", "系统设置.txt"}},
      {"q/\xE4\xB8\x81\xE4\xB8\x81", false, Codepage::Gbk, {"q", "涓佷竵"}},
      {"q/\xE4\xB8\x81\xE4\xB8\x81", true, Codepage::Gbk, {"q", "丁丁"}},
      // A trail byte 0x5C is part of 誠, never a separator.
      {"q/\xD5\x5C.txt", false, Codepage::Gbk, {"q", "誠.txt"}},
      {"q/\xA5\x4E.txt", false, Codepage::Big5, {"q", "代.txt"}},
      {"q/\xC3\xA9.txt", false, Codepage::Cp1252, {"q", "Ã©.txt"}},
      {"q/\xFF\xFF.txt", false, Codepage::Gbk, {}},           // not GBK
      {"q/\xCF\xB5.txt", true, Codepage::Gbk, {}},            // flagged, not UTF-8
      {"q/emoji\xF0\x9F\x98\x80.txt", true, Codepage::Gbk, {}},  // GBK cannot hold it
      {"q/\xE7\xB3\xBB.txt", true, Codepage::Gbk, {"q", "系.txt"}},
  };
  for (const Row& r : rows) {
    std::string why;
    auto name = ParseEntryName(r.raw, r.flag, r.legacy, &why);
    SCOPED_TRACE(test::HexOf(r.raw));
    if (r.components.empty()) {
      EXPECT_FALSE(name);
      EXPECT_FALSE(why.empty());
    } else {
      ASSERT_TRUE(name) << why;
      EXPECT_EQ(name->components, r.components);
    }
  }
}

}  // namespace
}  // namespace flashery
