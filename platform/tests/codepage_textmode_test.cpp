#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/textmode.h"

namespace flashery {
namespace {

TEST(TextMode, StoresEveryLineFeedAsCrLfAndReadsItBack) {
  EXPECT_EQ(ToTextMode("a\nb"), "a\r\nb");
  EXPECT_EQ(ToTextMode("id: msg\r\n"), "id: msg\r\r\n");  // a caller's "\r\n" becomes CR CR LF
  EXPECT_EQ(ToTextMode(""), "");
  EXPECT_EQ(FromTextMode("a\r\nb\r\r\n\r"), "a\nb\r\n\r");
  for (const char* s : {"x\ny\n", "\n\n", "no newline", "\r\n\n"})
    EXPECT_EQ(FromTextMode(ToTextMode(s)), s);
}

TEST(Codepage, ChecksUtf8AndMapsCodePagesAndLanguages) {
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("简体中文"));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\xB2\xE2\xCA\xD4"));  // GBK bytes

  EXPECT_EQ(*EncodeFromUtf8("测试", Codepage::Gbk), "\xB2\xE2\xCA\xD4");
  EXPECT_FALSE(EncodeFromUtf8("测试", Codepage::Cp1252).has_value());  // no silent '?'
  EXPECT_EQ(CodepageForLangId(2052), Codepage::Gbk);
  EXPECT_EQ(CodepageForLangId(1028), Codepage::Big5);
  EXPECT_EQ(CodepageForLangId(1033), Codepage::Cp1252);
  for (auto [number, cp] : {std::pair{936, Codepage::Gbk}, {950, Codepage::Big5}, {1252, Codepage::Cp1252}})
    EXPECT_EQ(CodepageOfNumber(number), cp) << number;
  for (int number : {0, 65001, -936, 437}) EXPECT_FALSE(CodepageOfNumber(number)) << number;
}


TEST(Codepage, AWholeCp1252TextIsDecodedByTableAsTheConverterDoesEveryByte) {
  for (int b = 0x80; b <= 0xFF; ++b) {
    const std::string byte(1, static_cast<char>(b));
    auto converted = ConvertCodepage(byte, Codepage::Cp1252, Codepage::Utf8);
    // The five bytes cp1252 leaves undefined become C1 controls.
    const std::string want = converted ? *converted : std::string{static_cast<char>(0xC2), static_cast<char>(b)};
    EXPECT_EQ(DecodeWholeText("a" + byte, Codepage::Cp1252), "a" + want) << b;
  }
  // The other code pages are strict: a whole text is not half-decoded.
  EXPECT_EQ(DecodeWholeText("\xCF\xB5\xCD\xB3", Codepage::Gbk), "系统");
  EXPECT_FALSE(DecodeWholeText("ab\x81", Codepage::Gbk));
  EXPECT_FALSE(DecodeWholeText("\xEF\xBB\xBFok\xFF", Codepage::Utf8));
}

TEST(Codepage, DecodesOneDeclaredEncodingAndNamesWhatAListCannotHold) {
  // 系统 in GBK (CF B5 CD B3) is also valid UTF-8 (ϵͳ): the declared
  // encoding decides, never a try.
  struct Decode {
    const char* bytes;
    Codepage cp;
    const char* expected;  // nullptr: refused
  } decodes[] = {
      {"\xCF\xB5\xCD\xB3", Codepage::Gbk, "系统"},
      {"\xCF\xB5\xCD\xB3", Codepage::Utf8, "ϵͳ"},
      {"\xE4\xB8\x81\xE4\xB8\x81", Codepage::Gbk, "涓佷竵"},
      {"\xE4\xB8\x81\xE4\xB8\x81", Codepage::Utf8, "丁丁"},
      {"\xD5\x5C.txt", Codepage::Gbk, "誠.txt"},  // trail byte 0x5C
      {"\xA5\x4E\xB8\xD5", Codepage::Big5, "代試"},
      {"caf\xE9", Codepage::Cp1252, "café"},
      {"caf\xE9", Codepage::Utf8, nullptr},
      {"\xB2\xE2\xCA", Codepage::Gbk, nullptr},  // cut inside a character
      {"\xFF\xFF", Codepage::Gbk, nullptr},
      {"plain", Codepage::Big5, "plain"},
  };
  for (const Decode& d : decodes) {
    auto got = DecodeStrict(d.bytes, d.cp);
    if (d.expected) {
      EXPECT_EQ(got, std::optional<std::string>(d.expected)) << d.bytes;
    } else {
      EXPECT_FALSE(got) << d.bytes;
    }
  }
  struct Name {
    const char* name;
    Codepage cp;
    bool listable;
  } names[] = {
      {"系统.txt", Codepage::Gbk, true},     {"系統.txt", Codepage::Big5, true},
      {"emoji😀.txt", Codepage::Gbk, false}, {"emoji😀.txt", Codepage::Utf8, true},
      {"系统.txt", Codepage::Cp1252, false}, {"a\\b.txt", Codepage::Utf8, false},
      {"a\rb", Codepage::Gbk, false},        {"a\nb", Codepage::Gbk, false},
      {"a\tb", Codepage::Gbk, false},        {"a\x7F", Codepage::Gbk, false},
      {"a;b c.txt", Codepage::Gbk, true},
  };
  for (const Name& n : names) EXPECT_EQ(ListNameFault(n.name, n.cp) == nullptr, n.listable) << n.name;
  // Disk names: UTF-8 as it is, otherwise the code page, otherwise refused.
  EXPECT_EQ(DiskNameToUtf8("系统", Codepage::Gbk), std::optional<std::string>("系统"));
  EXPECT_EQ(DiskNameToUtf8("\xB8\xE8", Codepage::Gbk), std::optional<std::string>("歌"));
  EXPECT_FALSE(DiskNameToUtf8("\xFF", Codepage::Gbk));
  EXPECT_FALSE(DiskNameToUtf8("\xB8\xE8", Codepage::Utf8));
  EXPECT_TRUE(HasUtf8Bom("\xEF\xBB\xBFx") && !HasUtf8Bom("\xEF\xBB"));
}

}  // namespace
}  // namespace flashery
