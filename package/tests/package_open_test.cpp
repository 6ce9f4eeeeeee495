#include <gtest/gtest.h>

#include <sys/stat.h>

#include <stop_token>

#include "config/settings.h"
#include "package/crc16.h"
#include "package/package_messages.h"
#include "package/extend_binding.h"
#include "package/package_open.h"
#include "package/package_sha256.h"
#include "package/tests/package_fixture.h"

namespace flashery {
namespace {

using K = QfmSectionKey;
using testing::Pattern;

class OpenPackageTest : public testing::PackageTest {
 protected:
  // A package with every fixed section and `extends` Extend sections.
  std::string FullPackage(int extends = 2, const std::string& name = "pkg.qfm") {
    PackageContents contents{"T745", "V1.02", {}};
    int seed = 0;
    auto add = [&](K key, size_t size, const std::string& label) {
      contents.inputs.push_back({key, Input(name + "." + std::to_string(seed) + ".bin", Pattern(size, seed)), label});
      ++seed;
    };
    add(K::BL, 1000, "eboot.nb0");
    add(K::NK, 70000, "nk.bin");
    add(K::MLO, 3, "");
    add(K::Userdata, 0, "");
    add(K::System, 200000, "system.img");
    add(K::Evn, 40, "");
    for (int i = 0; i < extends; ++i) add(ExtendKey(1), 500 + i, "ext" + std::to_string(i + 1) + ".img");
    add(K::Cache, 10, "");
    add(K::Recovery, 20, "");
    return Write(contents, name);
  }
  bool Open(const std::string& path) { return OpenPackage(package_, path, error_, context_); }

  QfmPackage package_;
  std::string error_;
};

TEST_F(OpenPackageTest, AcceptsAGoodPackageAndCopiesEverySection) {
  std::string path = FullPackage(2);
  ASSERT_TRUE(Open(path)) << error_;
  EXPECT_TRUE(error_.empty());
  EXPECT_TRUE(Prompts().empty());
  EXPECT_EQ(package_.packagePath, path);
  EXPECT_TRUE(package_.fileIdentity && package_.fileIdentity == PackageIdentityAt(path));
  EXPECT_EQ(package_.productName, "T745");
  EXPECT_EQ(package_.versionName, "V1.02");
  EXPECT_EQ(package_.infoText, "Version :V1.02 , System:  system.img");
  EXPECT_EQ(package_.packageSize, FileSize(path).value());
  std::string whole = ReadWholeFile(path).value();
  EXPECT_EQ(package_.sha256, Sha256Hex(whole.data(), whole.size()));

  std::optional<PackageFile> file = PackageFile::Open(path);
  ASSERT_TRUE(file);
  for (K key : kQfmCheckOrder) {
    const QfmSection& s = package_.section(key);
    SCOPED_TRACE(static_cast<int>(key));
    if (key == K::Extend3 || key == K::Extend4 || key == K::Extend5) {
      EXPECT_FALSE(s.IsPresent());
      continue;
    }
    EXPECT_TRUE(s.IsPresent());
    EXPECT_EQ(SectionCheckValue(file->fd(), s.offset, s.size), s.checkValue);
  }
  EXPECT_EQ(package_.section(K::BL).name, "eboot.nb0");
  EXPECT_EQ(package_.extend(2).name, "ext2.img");
  EXPECT_EQ(package_.section(K::NK).size, 70000u);
}

TEST_F(OpenPackageTest, RefusesUnreadableFilesAndBadHeaders) {
  struct Case {
    const char* what;
    std::string content;  // empty: the path does not exist
    std::string error;
    std::vector<std::string> prompts;
  };
  std::string good = ReadWholeFile(FullPackage(0)).value();
  std::string badMagic = good;
  badMagic[3] = 0x03;
  const std::vector<Case> cases = {
      {"missing", "", "cannot open", {}},
      {"short", good.substr(0, kQfmHeaderBytes - 1), "header unreadable", {"header unreadable"}},
      {"magic", badMagic, "header unreadable", {"not a package"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = dir_ / (std::string(c.what) + ".qfm");
    if (!c.content.empty()) {
      ASSERT_TRUE(WriteWholeFile(path, c.content));
    }
    RecordingPrompter prompter;
    PackageContext context{texts_, prompter};
    EXPECT_FALSE(OpenPackage(package_, path, error_, context));
    EXPECT_EQ(error_, c.error);
    std::vector<std::string> shown;
    for (const auto& r : prompter.records()) shown.push_back(r.text);
    EXPECT_EQ(shown, c.prompts);
    EXPECT_TRUE(package_.packagePath.empty());
  }
  EXPECT_FALSE(Open(dir_.path()));  // a folder is no package
  EXPECT_EQ(error_, "cannot open");
  EXPECT_FALSE(Open(""));
  EXPECT_TRUE(error_.empty());
}

TEST_F(OpenPackageTest, AnyChangeInTheCheckedHeaderRejectsWithoutABoxOfItsOwn) {
  std::string path = FullPackage(1);
  for (size_t at : {size_t{4}, size_t{0x60}, size_t{0x08D}, size_t{0x2A0}, size_t{0x337}, size_t{0x338}}) {
    SCOPED_TRACE(at);
    std::string copy = dir_ / "copy.qfm";
    ASSERT_TRUE(WriteWholeFile(copy, ReadWholeFile(path).value()));
    Patch(copy, [&](QfmHeader& h) { h.bytes[at] ^= 0x40; }, /*seal=*/false);
    EXPECT_FALSE(Open(copy));
    EXPECT_EQ(error_, "rejected");
    EXPECT_TRUE(Prompts().empty());
  }
}

TEST_F(OpenPackageTest, AFailingSectionStopsTheCheckAndKeepsWhatPassed) {
  std::string path = FullPackage(1);
  Patch(path, [](QfmHeader& h) { h.SetU32(QfmLayoutOf(K::NK).checkAt, h.U32(QfmLayoutOf(K::NK).checkAt) + 1); });
  EXPECT_FALSE(Open(path));
  EXPECT_EQ(error_, "rejected");
  EXPECT_EQ(Prompts(), std::vector<std::string>{"NK... CRC校验错误!"});
  EXPECT_TRUE(package_.packagePath.empty());
  EXPECT_EQ(package_.versionName, "V1.02");
  EXPECT_EQ(package_.infoText, "Version :V1.02 , System:  system.img");
  EXPECT_EQ(package_.section(K::BL).size, 1000u);
  EXPECT_EQ(package_.section(K::BL).name, "eboot.nb0");
  EXPECT_EQ(package_.section(K::MLO).size, 0u);  // not reached
  // Present flags are copied only when the whole package passed.
  EXPECT_FALSE(package_.section(K::BL).IsPresent());

  // An empty section passes only with check value 0.
  path = FullPackage(0, "empty.qfm");
  Patch(path, [](QfmHeader& h) { h.SetU32(QfmLayoutOf(K::Userdata).checkAt, 1); });
  EXPECT_FALSE(Open(path));
  EXPECT_EQ(Prompts().back(), "userdata... CRC校验错误!");
}

TEST_F(OpenPackageTest, SectionRangesOutsideTheFileAreReadFailures) {
  struct Case {
    K key;
    uint32_t offset, size;
    const char* message;
  };
  const std::vector<Case> cases = {
      {K::Recovery, 0, 0, nullptr},  // placeholder replaced below: one byte past the end
      {K::BL, 0xFFFFFF00u, 0x200u, "读QFM(BL)文件失败!"},   // offset + size wraps in 32 bits
      {K::System, 0, 0xFFFFFFFFu, "读QFM(system)文件失败!"},
      {K::Extend1, 0x7FFFFFFFu, 1, "读QFM(Extend)文件失败!"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    Case c = cases[i];
    std::string path = FullPackage(1, "case" + std::to_string(i) + ".qfm");
    if (i == 0) {
      uint64_t size = FileSize(path).value();
      c = {K::Recovery, static_cast<uint32_t>(size - 5), 6, "读QFM(Recovery)文件失败!"};
    }
    SCOPED_TRACE(c.message);
    Patch(path, [&](QfmHeader& h) {
      h.SetU32(QfmLayoutOf(c.key).offsetAt, c.offset);
      h.SetU32(QfmLayoutOf(c.key).sizeAt, c.size);
    });
    RecordingPrompter prompter;
    PackageContext context{texts_, prompter};
    EXPECT_FALSE(OpenPackage(package_, path, error_, context));
    ASSERT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].text, c.message);
    EXPECT_EQ(prompter.records()[0].caption, kAppTitle);
  }
  // The range test itself, before any read: sums that wrap in 32 bits.
  std::optional<PackageFile> file = PackageFile::Open(FullPackage(0, "range.qfm"));
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->Holds(file->size(), 0));
  EXPECT_FALSE(file->Holds(file->size() - 5, 6));
  EXPECT_FALSE(file->Holds(0xFFFFFF00u, 0x200u));
  EXPECT_FALSE(file->Holds(0, 0xFFFFFFFFu));
}

TEST_F(OpenPackageTest, PresentBytesOtherThanOneAreNotChecked) {
  // Present byte 2 on a section whose range is nonsense: never read, kept as 2.
  std::string path = FullPackage(0);
  Patch(path, [](QfmHeader& h) {
    h.SetByte(QfmLayoutOf(K::MLO).presentAt, 2);
    h.SetU32(QfmLayoutOf(K::MLO).offsetAt, 0xFFFFFFF0u);
  });
  ASSERT_TRUE(Open(path)) << error_;
  EXPECT_EQ(package_.section(K::MLO).present, 2);
  EXPECT_FALSE(package_.section(K::MLO).IsPresent());
  EXPECT_EQ(package_.section(K::MLO).offset, 0u);

  // Nothing present at all: only the header is checked; the info line is built.
  PackageContents empty{"X1", "E", {}};
  ASSERT_TRUE(Open(Write(empty, "empty.qfm")));
  EXPECT_EQ(package_.infoText, "Version :E , System:  ");
  for (K key : kQfmCheckOrder) EXPECT_FALSE(package_.section(key).IsPresent());
}

TEST_F(OpenPackageTest, ExtendSlotsEndAtTheFirstByteThatIsNotOne) {
  std::string path = FullPackage(5);
  struct Case {
    std::array<uint8_t, 5> bytes;
    int present;  // slots 1..present end up present
  };
  for (const Case& c : {Case{{1, 1, 0, 1, 1}, 2}, Case{{1, 0, 1, 0, 0}, 1}, Case{{1, 1, 1, 1, 1}, 5},
                        Case{{0, 1, 1, 1, 1}, 0}}) {
    Patch(path, [&](QfmHeader& h) {
      for (int k = 0; k < 5; ++k) h.SetByte(qfm::kExtendPresent + k, c.bytes[k]);
      h.SetByte(0x08D, 1);  // reserved, never read
      // Slots after the run point outside the file: reading one would fail.
      for (int k = c.present + 1; k <= 5; ++k) h.SetU32(QfmLayoutOf(ExtendKey(k)).offsetAt, 0xFFFFFF00u);
    });
    SCOPED_TRACE(c.present);
    ASSERT_TRUE(Open(path)) << error_;
    for (int k = 1; k <= 5; ++k) {
      EXPECT_EQ(package_.extend(k).IsPresent(), k <= c.present) << k;
      EXPECT_EQ(package_.extend(k).name.empty(), k > c.present) << k;
    }
    path = FullPackage(5, "again.qfm");
  }
}

TEST_F(OpenPackageTest, ANewOpenForgetsTheEarlierPackage) {
  ASSERT_TRUE(Open(FullPackage(5, "five.qfm")));
  package_.extend(1).fileCode = 9;
  package_.extensionTable.names[0] = "ext1.img";
  ASSERT_TRUE(Open(FullPackage(2, "two.qfm")));
  EXPECT_EQ(package_.extensionTable.names[0], "ext1.img");  // the settings stay
  EXPECT_EQ(package_.extend(1).fileCode, 0);
  for (int k = 3; k <= 5; ++k) {
    EXPECT_FALSE(package_.extend(k).IsPresent());
    EXPECT_EQ(package_.extend(k).size, 0u);
    EXPECT_TRUE(package_.extend(k).name.empty());
  }
  // A failed open leaves no path, while the new texts may already be there.
  std::string bad = FullPackage(0, "bad.qfm");
  Patch(bad, [](QfmHeader& h) {
    h.SetText(qfm::kVersionName, qfm::kVersionNameBytes, "V9");
    h.SetU32(QfmLayoutOf(K::Recovery).checkAt, 12345);
  });
  EXPECT_FALSE(Open(bad));
  EXPECT_TRUE(package_.packagePath.empty());
  EXPECT_FALSE(package_.fileIdentity);  // matches no file
  EXPECT_EQ(package_.versionName, "V9");
  EXPECT_FALSE(package_.extend(1).IsPresent());
}

TEST_F(OpenPackageTest, HeaderTextsAreBoundedAndDecoded) {
  std::string path = FullPackage(0);
  // "T745 型号" in GBK, and a version field filled to its last byte (no zero).
  const std::string gbkModel = "T745 \xD0\xCD\xBA\xC5";
  Patch(path, [&](QfmHeader& h) {
    h.SetText(qfm::kProductName, qfm::kProductNameBytes, gbkModel);
    std::fill_n(h.bytes.begin() + qfm::kVersionName, qfm::kVersionNameBytes, 'V');
    h.bytes[qfm::kVersionName + qfm::kVersionNameBytes] = 'X';  // first byte of packageSize
  });
  ASSERT_TRUE(Open(path)) << error_;
  EXPECT_EQ(package_.productName, "T745 型号");
  EXPECT_EQ(package_.versionName, std::string(qfm::kVersionNameBytes, 'V'));
}


TEST_F(OpenPackageTest, AStopEndsTheVerificationSilentlyAndAPipeIsRefusedAtOnce) {
  const std::string path = FullPackage(1);
  std::stop_source stop;
  stop.request_stop();
  context_.stop = stop.get_token();
  EXPECT_FALSE(Open(path));
  EXPECT_TRUE(Prompts().empty());  // asked to stop: no read failure is claimed
  EXPECT_TRUE(package_.packagePath.empty());
  std::optional<PackageFile> file = PackageFile::Open(path);
  ASSERT_TRUE(file);
  EXPECT_FALSE(SectionCheckValue(file->fd(), 0, 1000, stop.get_token()));
  EXPECT_TRUE(SectionCheckValue(file->fd(), 0, 1000));

  context_.stop = {};
  const std::string pipe = dir_ / "pipe.qfm";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  EXPECT_FALSE(Open(pipe));
  EXPECT_EQ(error_, texts_.Get(package_text::kCannotOpen));
  int error = 0;
  EXPECT_FALSE(PackageFile::Open(pipe, &error));
  EXPECT_EQ(error, kReadErrorPipe);
}

TEST_F(OpenPackageTest, HeaderTextsAreInTheCodePageUnlessTheyDeclareUtf8) {
  // 系统 in GBK (CF B5 CD B3) is also valid UTF-8 (ϵͳ): the code page decides.
  struct Case {
    Codepage cp;
    std::string systemBytes;  // the system name as stored
  } cases[] = {{Codepage::Gbk, "\xCF\xB5\xCD\xB3.img"}, {Codepage::Big5, "\xA8\x74\xB2\xCE.img"}};
  for (const Case& c : cases) {
    std::string name = c.cp == Codepage::Gbk ? "系统" : "系統";
    PackageContents contents{"T745", "V1", {}};
    contents.inputs.push_back({K::System, Input("s.img", "abc"), name + ".img"});
    contents.inputs.push_back({ExtendKey(1), Input("e.img", "def"), name});
    std::string path = dir_ / "cp.qfm";
    ASSERT_TRUE(WritePackage(path, contents, c.cp).ok);
    EXPECT_EQ(ReadWholeFile(path)->substr(QfmLayoutOf(K::System).nameAt, 8), c.systemBytes);
    PackageContext context{texts_, prompter_, c.cp};
    ASSERT_TRUE(OpenPackage(package_, path, error_, context)) << error_;
    EXPECT_NE(package_.infoText.find(name + ".img"), std::string::npos) << package_.infoText;
    // The Extend section binds to the name of the same text in a settings
    // file of the same code page (GBK as the default, Big5 as declared).
    const std::string head = c.cp == Codepage::Gbk ? "" : "[Station]\r\ncodePage=950\r\n";
    const std::string settingsName = c.systemBytes.substr(0, 4);
    ASSERT_TRUE(WriteWholeFile(dir_ / "downtoolcfg.ini",
                               head + "[ExdFile]\r\nfilename1=" + settingsName + "\r\nfilecode1=21\r\n"));
    DownloadSelection settings;
    ASSERT_TRUE(LoadSettings(dir_.path(), settings));
    package_.extensionTable.names = settings.extendNames;
    package_.extensionTable.codes = settings.extendCodes;
    std::string bindError;
    EXPECT_TRUE(BindExtendSections(package_, bindError, texts_)) << bindError;
    EXPECT_EQ(package_.extend(1).name, name);
  }
  // A field may declare UTF-8 by a byte order mark; bytes that are not valid
  // in their encoding refuse the package, naming the field.
  std::string path = FullPackage(1);
  Patch(path, [](QfmHeader& h) { h.SetText(qfm::kVersionName, qfm::kVersionNameBytes, "\xEF\xBB\xBF系统"); });
  ASSERT_TRUE(Open(path)) << error_;
  EXPECT_EQ(package_.versionName, "系统");
  Patch(path, [](QfmHeader& h) { h.SetText(QfmLayoutOf(ExtendKey(1)).nameAt, qfm::kExtendNameBytes, "\xFF\xFF"); });
  EXPECT_FALSE(Open(path));
  ASSERT_FALSE(Prompts().empty());
  EXPECT_NE(Prompts().back().find("Extend 1 section name"), std::string::npos) << Prompts().back();
}

// The hash of the whole file, whatever pieces the verification hands it
// and in whatever order; a piece beyond the file's end leaves no value.
TEST_F(OpenPackageTest, TheFileHashCoversEveryByteOnceWhateverPiecesItSees) {
  const std::string bytes = Pattern(5000, 7);
  const std::string path = Input("hashed.bin", bytes);
  const std::string want = Sha256Hex(bytes.data(), bytes.size());
  struct Case {
    const char* name;
    std::vector<std::pair<uint64_t, size_t>> pieces;  // offset, length
    bool hasValue;
  };
  const Case cases[] = {
      {"none", {}, true},
      {"in order", {{0, 824}, {824, 1000}, {1824, 3176}}, true},
      {"with gaps", {{0, 824}, {1000, 10}, {4000, 500}}, true},
      {"overlapping", {{0, 824}, {500, 1000}, {1400, 100}}, true},
      {"out of order", {{3000, 100}, {0, 824}, {1000, 50}}, true},
      {"past the end", {{4990, 10}, {5000, 10}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<PackageFile> file = PackageFile::Open(path);
    ASSERT_TRUE(file);
    PackageSha256 hash(*file);
    const std::string padded = bytes + std::string(20, 'x');
    for (auto [offset, n] : c.pieces)
      hash.OnRead(offset, reinterpret_cast<const uint8_t*>(padded.data()) + offset, n);
    std::optional<std::string> got = hash.Finish();
    EXPECT_EQ(got.has_value(), c.hasValue);
    if (c.hasValue) {
      EXPECT_EQ(*got, want);
    }
  }
}

}  // namespace
}  // namespace flashery
