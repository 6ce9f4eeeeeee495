// The shipped language files (lang/English.lng, lang/简体中文.lng): read
// through the station's own loaders, checked against the named text ids of
// text/text_ids.h and against the way the station joins texts with labels,
// names and numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <ostream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "text/language.h"
#include "text/status.h"
#include "text/text_ids.h"
#include "text/text_table.h"

namespace flashery {
namespace {

std::string EnvFolder(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string SourcePath(const std::string& relative) { return JoinPath(EnvFolder("FLASHERY_SOURCE"), relative); }

// Every "constexpr int kText... = N;" of text_ids.h, by name.
std::map<std::string, int> NamedTextIds() {
  std::map<std::string, int> ids;
  auto header = ReadWholeFile(SourcePath("text/text_ids.h"));
  if (!header) return ids;
  std::regex line(R"(constexpr\s+int\s+(kText\w+)\s*=\s*(\d+)\s*;)");
  for (std::sregex_iterator it(header->begin(), header->end(), line), end; it != end; ++it)
    ids[(*it)[1].str()] = std::stoi((*it)[2].str());
  return ids;
}

std::set<int> UsedIds() {
  std::set<int> used;
  for (const auto& [name, id] : NamedTextIds()) used.insert(id);
  return used;
}

// Keys of a section in file order, repeated keys included (the profile
// reader would silently take the first of two).
std::vector<std::string> RawKeys(const std::string& text, const std::string& section) {
  std::vector<std::string> keys;
  bool inside = false;
  size_t i = 0;
  while (i < text.size()) {
    size_t nl = text.find('\n', i);
    std::string line = text.substr(i, nl == std::string::npos ? std::string::npos : nl - i);
    i = nl == std::string::npos ? text.size() : nl + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inside = EqualsNoCase(line.substr(1, line.find(']') - 1), section);
      continue;
    }
    size_t eq = line.find('=');
    if (inside && eq != std::string::npos && line.front() != ';') keys.push_back(line.substr(0, eq));
  }
  return keys;
}

const int kLabels[] = {kTextLabelXloader,  kTextLabelBootloader, kTextLabelEnv,       kTextLabelKernel,
                       kTextLabelSystem,   kTextLabelUserdata,   kTextLabelCache,     kTextLabelRecovery,
                       kTextLabelResources, kTextLabelGps,       kTextLabelBrand};

const char* const kRetitleSections[] = {"128", "Download", "FileSetup", "About", "Wait", "configdownfile"};

struct Shipped {
  const char* fileName;
  int langId;
  bool english;
};

void PrintTo(const Shipped& s, std::ostream* os) { *os << s.fileName; }

const Shipped kEnglish{"English.lng", 1033, true};
const Shipped kChinese{"简体中文.lng", 2052, false};
const Shipped kTraditional{"繁體中文.lng", 1028, false};

class ShippedLanguageFile : public ::testing::TestWithParam<Shipped> {
 protected:
  void SetUp() override {
    ASSERT_FALSE(EnvFolder("FLASHERY_SOURCE").empty()) << "FLASHERY_SOURCE is not set";
    path = SourcePath(std::string("lang/") + GetParam().fileName);
    auto bytes = ReadWholeFile(path);
    ASSERT_TRUE(bytes) << path;
    raw = *bytes;
    doc = LoadLanguageDocument(path);
    texts.Load(path);
    used = UsedIds();
    ASSERT_GT(used.size(), 100u) << "text_ids.h was not read";
  }
  std::string path, raw;
  ProfileDocument doc;
  TextTable texts;
  std::set<int> used;
};

TEST(TextIds, AreDistinctAndInsideTheTable) {
  auto named = NamedTextIds();
  ASSERT_GT(named.size(), 100u);
  std::map<int, std::string> byId;
  for (const auto& [name, id] : named) {
    EXPECT_GE(id, 0) << name;
    EXPECT_LT(id, TextTable::kCount) << name;
    auto [it, fresh] = byId.emplace(id, name);
    EXPECT_TRUE(fresh) << name << " and " << it->second << " share id " << id;
  }
}

TEST_P(ShippedLanguageFile, IsUtf8WithItsLanguageAndExactly225TextKeys) {
  EXPECT_TRUE(IsValidUtf8(raw));
  EXPECT_TRUE(HasUtf8Bom(raw)) << "without its mark the file would be read in its language's code page";
  EXPECT_EQ(doc.codepage(), Codepage::Utf8);
  EXPECT_EQ(doc.GetInt("Language", "Language", 0), GetParam().langId);

  std::vector<std::string> expected;
  for (int n = 0; n < TextTable::kCount; ++n) expected.push_back(std::to_string(100 + n));
  EXPECT_EQ(RawKeys(raw, "Text"), expected);
  for (const char* section : kRetitleSections) {
    auto keys = RawKeys(raw, section);
    EXPECT_FALSE(keys.empty()) << section;
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), keys.size()) << "repeated key in " << section;
  }

  auto font = FontOfLanguageFile(path);
  ASSERT_TRUE(font);
  EXPECT_LE(font->face.size(), 31u);
  EXPECT_GT(font->pointSize, 0);
}

TEST_P(ShippedLanguageFile, EveryNamedTextIsThereAndEveryOtherIdIsEmpty) {
  ASSERT_EQ(texts.size(), static_cast<size_t>(TextTable::kCount));
  for (int id = 0; id < TextTable::kCount; ++id) {
    if (used.count(id))
      EXPECT_FALSE(texts.Get(id).empty()) << "text id " << id;
    else
      EXPECT_EQ(texts.Get(id), "") << "text id " << id << " has a text but no name in text_ids.h";
  }
  // The texts the station adds: each shipped file has its own, none falls
  // back to the built-in English unless the file is English.
  for (const StationText& t : kAllStationTexts) {
    std::string own = doc.GetString("Station", t.key);
    EXPECT_FALSE(own.empty()) << "section Station lacks " << t.key;
    EXPECT_EQ(texts.Get(t), own) << t.key;
    EXPECT_EQ(own.find('%'), std::string::npos) << t.key;
  }
}

TEST_P(ShippedLanguageFile, TextsFitTheirBuffersAndAreNeverFormats) {
  for (int id : used) {
    std::string t = texts.Get(id);
    EXPECT_LE(t.size(), TextTable::kMaxBytes) << id;
    EXPECT_LE(t.size(), kStatusMaxBytes) << id;
    EXPECT_EQ(t.find('%'), std::string::npos) << "text id " << id << " would be printed with a raw '%'";
    for (unsigned char c : t) EXPECT_GE(c, 0x20) << "control character in text id " << id;
    // A text is read back as written: no quotes left around it.
    EXPECT_NE(t.front(), '"') << id;
  }

  // Status lines as the port jobs build them must not be cut before their
  // detail: the longest label with each text that follows a label, and each
  // waiting text with the largest counter the loops show.
  size_t longestLabel = 0;
  for (int label : kLabels)
    longestLabel = std::max(longestLabel, texts.Get(label).size());
  const std::string detail = FormatString("%d %s", 1450, std::string(64, 'p').c_str());
  for (int after : {kTextHandsetNotReady, kTextPackageFileOpenFailed, kTextImageStarting, kTextCommandRefused,
                    kTextReadFailed, kTextBlockRefused, kTextBlockGivenUp, kTextSending, kTextFinished,
                    kTextInvalidPath, kTextTransferFailed})
    EXPECT_LE(longestLabel + texts.Get(after).size() + detail.size(), kStatusMaxBytes) << after;
  for (int wait : {kTextHandsetNotReady, kTextWaitingForHandset, kTextWaitingForReturn, kTextSwitchingStorageMode,
                   kTextPreparingStorage, kTextStoragePrepared, kTextWaitingForFinish, kTextHandsetFinished})
    EXPECT_LE(texts.Get(wait).size() + FormatString(" %d S.....\r\n", 1199).size(), kStatusMaxBytes) << wait;
  for (int named : {kTextCreatingOnHandset, kTextFolderCreated, kTextFolderRefused, kTextFileOpenedOnHandset,
                    kTextFileRefused, kTextOutsideFileSets})
    EXPECT_LE(texts.Get(named).size() + 120, kStatusMaxBytes) << named;
}

bool EndsWithAny(const std::string& t, std::initializer_list<const char*> ends) {
  for (const char* e : ends) {
    std::string s = e;
    if (t.size() >= s.size() && t.compare(t.size() - s.size(), s.size(), s) == 0) return true;
  }
  return false;
}

TEST_P(ShippedLanguageFile, TextsCarryTheirOwnJoints) {
  // Labels end with a colon; what follows a label needs no blank of its own.
  for (int label : kLabels)
    EXPECT_TRUE(EndsWithAny(texts.Get(label), {":", "："})) << "label " << label;

  // Texts that a counter or number is appended to without a blank.
  for (int id : {kTextGpsChecking, kTextHandsetNotReady, kTextWaitingForHandset, kTextSwitchingStorageMode,
                 kTextPreparingStorage, kTextStoragePrepared, kTextWaitingForFinish, kTextHandsetFinished,
                 kTextPackageFileOpenFailed, kTextReadFailed, kTextBlockGivenUp, kTextBadCommandStatus,
                 kTextCommandFailed})
    EXPECT_TRUE(EndsWithAny(texts.Get(id), {" ", ":", "："})) << "text id " << id;

  // Texts that a path or name is appended to.
  for (int id : {kTextResourcesFolderMissing, kTextBrandFolderMissing, kTextInfoPackageFile, kTextInfoModel,
                 kTextPackagePathInvalid, kTextInvalidPath, kTextOutsideFileSets, kTextCreatingOnHandset,
                 kTextFolderCreated, kTextFolderRefused, kTextFileOpenedOnHandset, kTextFileRefused,
                 kTextLocalFileOpenFailed, kTextEmptyFile})
    EXPECT_TRUE(EndsWithAny(texts.Get(id), {": ", "："})) << "text id " << id;

  // Missing-part items join lists of " <folder>" items.
  EXPECT_EQ(texts.Get(kTextGpsNoCdrom).rfind(" <", 0), 0u);
  EXPECT_EQ(texts.Get(kTextGpsNoBackup).rfind(" <", 0), 0u);

  if (GetParam().english) {
    // After a bare image or file name ("Xloader", "a.mp3") a blank or colon
    // must open the text, or the words run together.
    for (int id : {kTextSizeUnknown, kTextCommandRefused, kTextBlockRefused, kTextBlockGivenUp, kTextSending})
      EXPECT_TRUE(texts.Get(id).front() == ' ' || texts.Get(id).front() == ':') << "text id " << id;
    // The same after "port N".
    EXPECT_EQ(texts.Get(kTextNoHandset).front(), ' ');
  }
}

TEST_P(ShippedLanguageFile, RetitlingSparesLanguageItemsAndLiveControls) {
  // The language items name the file that choosing them loads.
  for (uint32_t id = kFirstLanguageCommand; id <= kLastLanguageCommand; ++id)
    EXPECT_FALSE(doc.Get("128", std::to_string(id))) << "language item " << id << " is retitled";
  for (const auto& key : RawKeys(raw, "128"))
    EXPECT_TRUE(key == "|0" || key == "|2" || key == "|3" || key == "57665" || key == "32771" || key == "57664")
        << "menu key " << key;

  // Serial, status and progress controls of the ports, and the folder path
  // and lists of the download file dialog, hold data, not captions.
  for (int p = 0; p < 8; ++p)
    for (int id : {1006 + p, 1087 + p, 1095 + p})
      EXPECT_FALSE(doc.Get("Download", std::to_string(id))) << "control " << id;
  for (const char* id : {"1130", "1141", "1142"}) EXPECT_FALSE(doc.Get("configdownfile", id)) << id;

  for (const char* section : kRetitleSections)
    for (const auto& key : RawKeys(raw, section))
      EXPECT_TRUE(RetitleText(doc, section, key)) << section << " " << key << " is empty";
}

INSTANTIATE_TEST_SUITE_P(All, ShippedLanguageFile, ::testing::Values(kEnglish, kChinese, kTraditional),
                         [](const auto& info) {
                           return std::string(info.param.english ? "English"
                                              : info.param.langId == 1028 ? "Traditional"
                                                                          : "Simplified");
                         });

// A language switch only replaces the texts the new file names, so every
// file must name the controls the Simplified Chinese one names; and the
// Chinese texts survive a conversion to their legacy code pages.
TEST(ShippedLanguageFiles, NameTheSameControlsAndFitTheirLegacyCodePages) {
  auto zh = ReadWholeFile(SourcePath("lang/简体中文.lng"));
  ASSERT_TRUE(zh);
  for (auto [name, codepage] : {std::pair{"English.lng", Codepage::Utf8}, {"简体中文.lng", Codepage::Gbk},
                                {"繁體中文.lng", Codepage::Big5}}) {
    SCOPED_TRACE(name);
    std::string path = SourcePath(std::string("lang/") + name);
    auto raw = ReadWholeFile(path);
    ASSERT_TRUE(raw);
    ProfileDocument doc = LoadLanguageDocument(path);
    for (const char* section : kRetitleSections) {
      auto a = RawKeys(*zh, section), b = RawKeys(*raw, section);
      EXPECT_EQ(std::set<std::string>(a.begin(), a.end()), std::set<std::string>(b.begin(), b.end())) << section;
      for (const auto& key : b)
        EXPECT_TRUE(EncodeFromUtf8(doc.GetString(section, key), codepage)) << section << " " << key;
    }
    TextTable texts;
    texts.Load(path);
    for (int id : UsedIds()) EXPECT_TRUE(EncodeFromUtf8(texts.Get(id), codepage)) << "text id " << id;
  }
}

TEST(ShippedLanguageFiles, TheProgramFolderOfTheBuildHoldsBothAsBuiltInMenuItems) {
  std::string bin = EnvFolder("FLASHERY_BIN");
  ASSERT_FALSE(bin.empty()) << "FLASHERY_BIN is not set";
  for (const char* name : {"English.lng", "简体中文.lng", "繁體中文.lng"}) {
    auto built = ReadWholeFile(JoinPath(bin, name));
    ASSERT_TRUE(built) << name << " is not in the program folder";
    EXPECT_EQ(*built, *ReadWholeFile(SourcePath(std::string("lang/") + name))) << name;
  }
  std::map<std::string, uint16_t> found;
  for (const auto& f : ListLanguageFiles(bin)) found[f.name] = f.langId;
  EXPECT_EQ(found["English"], 1033);
  EXPECT_EQ(found["简体中文"], 2052);
  EXPECT_EQ(found["繁體中文"], 1028);
  // Both take the menu's own items (32772, 32773): nothing is appended for them.
  for (const auto& item : BuildLanguageMenu(bin).appended) {
    EXPECT_NE(item.name, "English");
    EXPECT_NE(item.name, "简体中文");
  }
}

}  // namespace
}  // namespace flashery
