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
//   the file as it was read: comments, order, blank lines, line ends, a
//   byte order mark and the bytes of every line it did not change. Only the
//   lines it writes are encoded, in the code page the file was read in; a
//   value that code page cannot hold is refused (never written as '?').
//   Files are written through WriteFileAtomic (files.h).
// Encoding: decided once for the whole file, never by trying. A file that
// begins with a UTF-8 byte order mark is UTF-8. Any other file is in a code
// page: the one the caller names, or the one the file declares. A settings
// file declares it with codePage in section [Station] (936 GBK, 950 Big5,
// 1252 cp1252; GBK when it declares none or another number); a language file
// by its language id (text/language.h). The declaration is found in the
// file's ASCII view -- its bytes with every byte above 0x7F shown as '?' --
// since its key and digits are ASCII in each of these code pages and a line
// feed or '=' is never part of a multibyte character; the whole file is then
// decoded in that code page, and must declare the same when read decoded.
// A file whose bytes are not valid in its encoding is not read at all: its
// failure() names the first line that is not (see below). So GBK bytes that
// happen to be valid UTF-8 (系统 is CF B5 CD B3, also "ϵͳ") read as GBK.
//
// Files this station once wrote in UTF-8 without a byte order mark (new
// files were UTF-8 then): most Chinese text in UTF-8 is not valid GBK or
// Big5, so such a file is refused, the message saying that a UTF-8 file must
// begin with a byte order mark; adding one (or converting the file) is the
// mend. One whose bytes happen to be valid in the code page too reads in the
// code page. It is not read as UTF-8 because it is valid UTF-8: that guess is
// what misread the code page's own files, which nothing else tells apart.
// Writing back keeps the encoding the file was read in (and its byte order
// mark); a new file is written in the code page, as the original platform
// writes it. A Set that changes the declaration itself does not re-encode
// the lines already there.
//
// A file is read only whole: one that exists but cannot be (larger than the
// bound, 1 MiB unless the caller says otherwise; unreadable; not a regular
// file; not text, i.e. holding a zero byte; not valid in its encoding, or
// reading a different declaration once decoded) gives a document whose
// failure() says why. Its values read as defaults, and Save refuses to
// write over it: nothing the station cannot read whole is written over.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/codepage.h"

namespace flashery {

// Bound of a profile file: no real settings or language file comes near it.
inline constexpr uint64_t kMaxProfileBytes = 1u << 20;

// The integer value of a profile string as the platform reads it.
int32_t ParseProfileInt(std::string_view value);

class ProfileDocument;
// The code page a file declares, from its ASCII view (or its decoded text).
using DeclaredCodepage = std::function<Codepage(const ProfileDocument&)>;
// A settings file's declaration: codePage in section [Station].
Codepage SettingsCodepage(const ProfileDocument& doc);

class ProfileDocument {
 public:
  static ProfileDocument Parse(std::string_view utf8Text);
  // Reads and decodes a file; a missing file gives an empty document
  // (exists() false) in the code page a new file is written in. Without a
  // byte order mark the file is in the code page it declares (the first
  // form: as a settings file declares it), or in `codepage`.
  static ProfileDocument Load(const std::string& path, const DeclaredCodepage& declared = SettingsCodepage,
                              uint64_t maxBytes = kMaxProfileBytes);
  static ProfileDocument Load(const std::string& path, Codepage codepage, uint64_t maxBytes = kMaxProfileBytes);

  bool exists() const { return exists_; }
  // Why an existing file could not be read whole; empty when it was.
  const std::string& failure() const { return failure_; }
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
  // Writes the document back: unchanged lines as they were read, changed
  // and new ones in the file's code page (the code page for a new file). False,
  // with `*why` naming the file, when the document was not read whole, a
  // value has no mapping in the code page, or the write failed; the file is
  // then as it was.
  bool Save(const std::string& path, std::string* why = nullptr) const;

 private:
  enum class Eol : uint8_t { None, Lf, CrLf };
  // A line is a place in the buffers, so a large file costs a few words a
  // line: its decoded text (text_, or edits_ once the station changed it)
  // and the file's bytes of the line and its end (in raw_, or in text_ when
  // the file was UTF-8 and the two are the same).
  struct Line {
    uint32_t textAt = 0, textLength = 0;  // edited: textAt indexes edits_
    uint32_t rawAt = 0, rawLength = 0;
    Eol eol = Eol::None;
    bool edited = false;    // written encoded; no raw bytes
    bool endAdded = false;  // an unedited last line that was given a line end
  };
  static ProfileDocument FromText(std::string decoded, std::string raw, bool rawIsText);
  static ProfileDocument Read(const std::string& path, const DeclaredCodepage& declared, uint64_t maxBytes);
  static std::string_view EolText(Eol eol);
  std::string_view TextOf(const Line& line) const;
  std::string_view RawOf(const Line& line) const;
  Line NewLine(std::string text, Eol eol);
  void BuildIndex();
  std::optional<size_t> FindSection(std::string_view section) const;
  std::optional<size_t> FindKey(std::string_view section, std::string_view key) const;
  Eol DefaultEol() const;

  std::string text_, raw_;
  bool rawIsText_ = false;
  std::vector<std::string> edits_;
  std::vector<Line> lines_;
  std::string bom_;  // a byte order mark the file began with
  bool exists_ = false;
  std::string failure_;
  Codepage codepage_ = Codepage::Utf8;
  // Folded section name -> its first header line; folded "section\0key"
  // -> the key's first line in that section. Dropped when a Set moves lines.
  std::unordered_map<std::u16string, size_t> sectionIndex_, keyIndex_;
  bool indexed_ = false;
};

// One-call reads and writes, as the platform's profile functions do.
std::string GetProfileString(const std::string& path, std::string_view section, std::string_view key,
                             std::string_view def = {}, size_t maxBytes = 1023);
int32_t GetProfileInt(const std::string& path, std::string_view section, std::string_view key, int32_t def);
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, std::string* why = nullptr);

}  // namespace flashery
