// Profile (INI) files with the private-profile semantics of the original
// platform, which the settings and language files were made for:
// - "[section]" lines and "key=value" lines; sections and keys are matched
//   without regard to case; the first matching section and, in it, the
//   first matching key win;
// - blanks around names and values are trimmed, and a value enclosed in a
//   pair of double (or single) quotes is unquoted;
// - an integer read gives the default for a missing or empty value and
//   otherwise the value's leading valid part: "55zz" is 55, "zz" is 0,
//   "0x1F" is 31, "-3" is -3;
// - a write changes one line (or adds one) and keeps every other byte of
//   the file: comments, order, blank lines, line ends and its code page.
//   Files are written to a temporary file and renamed into place.
// Files are decoded as UTF-8 when valid, else from the legacy code page
// given (GBK unless said otherwise).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"

namespace flashery {

// The integer value of a profile string as the platform reads it.
int32_t ParseProfileInt(std::string_view value);

class ProfileDocument {
 public:
  static ProfileDocument Parse(std::string_view utf8Text);
  // Reads and decodes a file; a missing file gives an empty document
  // (exists() false).
  static ProfileDocument Load(const std::string& path, Codepage legacy = Codepage::Gbk);

  bool exists() const { return exists_; }
  Codepage codepage() const { return codepage_; }

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Value or default, cut to maxBytes bytes (the original's buffer size
  // minus one), never inside a UTF-8 sequence.
  std::string GetString(std::string_view section, std::string_view key, std::string_view def = {},
                        size_t maxBytes = 1023) const;
  int32_t GetInt(std::string_view section, std::string_view key, int32_t def) const;
  // Keys of a section in file order (first occurrence of each).
  std::vector<std::string> Keys(std::string_view section) const;

  void Set(std::string_view section, std::string_view key, std::string_view value);
  std::string Serialize() const;  // UTF-8
  // Writes the document back in the code page it was read in (UTF-8 when
  // new, or when a value has no mapping in the legacy code page).
  bool Save(const std::string& path) const;

 private:
  struct Line {
    std::string text;  // without its line end
    std::string eol;   // "\r\n", "\n" or "" (last line without an end)
  };
  std::optional<size_t> FindSection(std::string_view section) const;
  std::string DefaultEol() const;

  std::vector<Line> lines_;
  bool exists_ = false;
  Codepage codepage_ = Codepage::Utf8;
};

// One-call reads and writes, as the platform's profile functions do.
std::string GetProfileString(const std::string& path, std::string_view section, std::string_view key,
                             std::string_view def = {}, size_t maxBytes = 1023);
int32_t GetProfileInt(const std::string& path, std::string_view section, std::string_view key, int32_t def);
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace flashery
