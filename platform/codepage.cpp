#include "platform/codepage.h"

#include <cerrno>
#include <iconv.h>

namespace flashery {

const char* CodepageName(Codepage cp) {
  switch (cp) {
    case Codepage::Utf8: return "UTF-8";
    case Codepage::Gbk: return "GBK";
    case Codepage::Big5: return "BIG5";
    case Codepage::Cp1252: return "CP1252";
  }
  return "UTF-8";
}

bool IsAscii(std::string_view bytes) {
  for (unsigned char c : bytes)
    if (c >= 0x80) return false;
  return true;
}

bool IsValidUtf8(std::string_view s) {
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) { ++i; continue; }
    int len;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; }
    else return false;
    if (i + len > n) return false;
    for (int k = 1; k < len; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

std::optional<std::string> ConvertCodepage(std::string_view bytes, Codepage from, Codepage to) {
  if (from == to) {
    if (from == Codepage::Utf8 && !IsValidUtf8(bytes)) return std::nullopt;
    return std::string(bytes);
  }
  iconv_t cd = iconv_open(CodepageName(to), CodepageName(from));
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.resize(bytes.size() * 4 + 16);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  bool ok = true;
  while (inLeft > 0) {
    size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) {
        size_t used = static_cast<size_t>(outPtr - out.data());
        out.resize(out.size() * 2);
        outPtr = out.data() + used;
        outLeft = out.size() - used;
        continue;
      }
      ok = false;
      break;
    }
    if (r > 0) {  // irreversible conversions count as a failure: no silent '?'
      ok = false;
      break;
    }
  }
  if (ok) {
    size_t r = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    if (r == static_cast<size_t>(-1)) ok = false;
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(static_cast<size_t>(outPtr - out.data()));
  return out;
}

namespace {

// cp1252's characters for bytes 0x80-0x9F; 0xA0-0xFF are U+00A0-U+00FF.
// The five bytes cp1252 leaves unmapped (0x81 0x8D 0x8F 0x90 0x9D) become
// the C1 controls of the same value, as Latin-1 has them, so nothing is lost.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// One pass over the bytes: a table, not a conversion per byte.
std::string DecodeCp1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (unsigned char c : bytes) {
    char16_t u = c < 0x80 ? c : c < 0xA0 ? kCp1252High[c - 0x80] : c;
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

}  // namespace
std::string EscapedBytes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

std::optional<std::string> DecodeStrict(std::string_view bytes, Codepage cp) {
  if (cp == Codepage::Utf8 || IsAscii(bytes)) {
    if (!IsValidUtf8(bytes)) return std::nullopt;
    return std::string(bytes);
  }
  return ConvertCodepage(bytes, cp, Codepage::Utf8);
}

bool HasUtf8Bom(std::string_view bytes) { return bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom; }

bool CodepageHolds(std::string_view utf8, Codepage cp) {
  if (IsAscii(utf8)) return true;
  if (!IsValidUtf8(utf8)) return false;
  return cp == Codepage::Utf8 || EncodeFromUtf8(utf8, cp).has_value();
}

const char* ListNameFault(std::string_view utf8Name, Codepage cp) {
  for (unsigned char c : utf8Name) {
    if (c == '\\') return "the name holds a '\\', the separator of list paths";
    if (c == '\r' || c == '\n') return "the name holds a line break";
    if (c == '\t') return "the name holds a tab";
    if (c < 0x20 || c == 0x7F) return "the name holds a control character";
  }
  if (!CodepageHolds(utf8Name, cp)) return "the name holds a character the station's code page cannot hold";
  return nullptr;
}

std::optional<std::string> DiskNameToUtf8(std::string_view name, Codepage cp) {
  if (IsValidUtf8(name)) return std::string(name);
  if (cp == Codepage::Utf8) return std::nullopt;
  return ConvertCodepage(name, cp, Codepage::Utf8);
}

std::optional<std::string> DecodeWholeText(std::string_view bytes, Codepage cp) {
  if (cp == Codepage::Cp1252) return DecodeCp1252(bytes);
  return DecodeStrict(bytes, cp);
}

std::optional<std::string> EncodeFromUtf8(std::string_view utf8, Codepage cp) {
  return ConvertCodepage(utf8, Codepage::Utf8, cp);
}

std::optional<Codepage> CodepageOfNumber(int32_t number) {
  switch (number) {
    case 936: return Codepage::Gbk;
    case 950: return Codepage::Big5;
    case 1252: return Codepage::Cp1252;
    default: return std::nullopt;
  }
}

Codepage CodepageForLangId(unsigned langId) {
  switch (langId & 0xFFFF) {
    case 2052: case 4100: return Codepage::Gbk;
    case 1028: case 3076: case 5124: return Codepage::Big5;
    default: return Codepage::Cp1252;
  }
}

}  // namespace flashery
