// libFuzzer target: list files. The input holds a reference list and a
// current list (the first two bytes give the reference's length and the
// system code page: GBK, or UTF-8 when the top bit is set); both are
// read into records, probed and compared as a set check does.
//
// Checked besides memory safety:
//  - every record is valid UTF-8 without a line feed and at most 259 bytes
//    in the system code page; a parsed entry has at most three fields, a
//    check field only after a size field ending in "byte";
//  - a failed comparison names a reference record that exists, with its
//    text;
//  - a list compared with itself is identical; with itself plus lines
//    added at its end, and (when it is UTF-8) with its ASCII letters in
//    upper case, it is accepted;
//  - an entry line written for a file (name without empty fields) parses
//    back to the same name, size and check.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "filesets/list_codepage.h"
#include "filesets/list_compare.h"
#include "filesets/list_examine.h"
#include "filesets/list_line.h"
#include "filesets/list_writer.h"
#include "platform/files.h"
#include "platform/fuzz/fuzz_support.h"

namespace {

using namespace flashery;

using fuzz::Require;

const std::string& Folder() { return fuzz::ScratchFolder("listfuzz"); }

bool Write(const std::string& name, std::string_view bytes) { return WriteWholeFile(Folder() + "/" + name, bytes); }
std::string PathOf(const std::string& name) { return Folder() + "/" + name; }

void CheckRecords(std::string_view bytes, Codepage system) {
  for (const std::string& r : ReadListRecords(bytes, system)) {
    Require(IsValidUtf8(r) && r.find('\n') == std::string::npos && SystemLength(r, system) <= 259);
    ListEntry e = ParseListEntry(r);
    Require(e.fields >= 0 && e.fields <= 3);
    Require(e.fields != 3 || (e.check.rfind("0x", 0) == 0 && e.size.size() >= 4 &&
                              e.size.compare(e.size.size() - 4, 4, "byte") == 0));
    Require(e.fields >= 3 || e.check.empty());
  }
}

void CheckComparison(const ListComparison& c, const std::vector<std::string>& reference) {
  const bool accepted = c.verdict == ListVerdict::Identical || c.verdict == ListVerdict::Accepted;
  Require(c.accepted == accepted);
  if (accepted || c.verdict == ListVerdict::Unreadable) return;
  Require(c.referenceLine >= 1 && c.referenceLine <= reference.size());
  Require(c.referenceText == reference[c.referenceLine - 1]);
  Require(c.verdict == ListVerdict::Differs || c.currentText.empty());
}

// The name of an entry line made from raw bytes: one line, no empty field.
std::string EntryName(std::string_view raw) {
  std::string name;
  for (char c : raw) {
    if (c == '\n' || c == '\r' || c == '\0') continue;
    if (c == ';' && (name.empty() || name.back() == ';')) continue;
    name += c;
  }
  while (!name.empty() && name.back() == ';') name.pop_back();
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (1u << 20)) return 0;
  const size_t split = std::min<size_t>(size - 2, static_cast<size_t>(data[0]) | static_cast<size_t>(data[1] & 0x7F) << 8);
  std::string_view all(reinterpret_cast<const char*>(data) + 2, size - 2);
  std::string_view reference = all.substr(0, split), current = all.substr(split);
  const Codepage system = (data[1] & 0x80) ? Codepage::Utf8 : Codepage::Gbk;

  CheckRecords(reference, system);
  CheckRecords(current, system);
  if (!Write("ref.txt", reference) || !Write("cur.txt", current)) return 0;

  ListProbe probe = ExamineList(PathOf("ref.txt"), "quilmap\\", system);
  // A list is read in its declared encoding or not at all.
  const bool decodable = DecodeListText(reference, system).has_value();
  Require(probe.ok == decodable && probe.undecodable == !decodable &&
          probe.codepage == DetectListCodepage(reference, system));

  std::vector<std::string> refRecords = ReadListRecords(reference, system);
  CheckComparison(CompareLists(PathOf("ref.txt"), PathOf("cur.txt"), system), refRecords);
  CheckComparison(CompareLists(PathOf("cur.txt"), PathOf("ref.txt"), system), ReadListRecords(current, system));
  Require(CompareLists(PathOf("ref.txt"), PathOf("ref.txt"), system).verdict == ListVerdict::Identical);

  // The reference with entries added at its end (the current list of a
  // folder that gained files) is accepted.
  if (!reference.empty() && reference.back() == '\n') {
    std::string grown(reference);
    grown += "FILE: added\r\nnew.bin;12byte;0x0000abcd\r\n";
    if (!Write("grown.txt", grown)) return 0;
    ListComparison c = CompareLists(PathOf("ref.txt"), PathOf("grown.txt"), system);
    Require(c.accepted && c.verdict == ListVerdict::Accepted);
  }
  // Case does not matter: the same UTF-8 list in upper case is accepted (a
  // list without a byte order mark is in the code page, where an ASCII
  // letter may be the second byte of a character).
  if (IsValidUtf8(reference) && (IsAscii(reference) || system == Codepage::Utf8 || HasUtf8Bom(reference))) {
    std::string upper(reference);
    for (char& ch : upper)
      if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (!Write("upper.txt", upper)) return 0;
    Require(CompareLists(PathOf("ref.txt"), PathOf("upper.txt"), system).accepted);
  }

  // An entry line as the list writer writes it reads back as written.
  std::string name = EntryName(current.substr(0, std::min<size_t>(current.size(), 200)));
  if (!name.empty()) {
    const uint64_t fileSize = split * 977u;
    const uint32_t check = static_cast<uint32_t>(size * 2654435761u);
    for (bool withCheck : {false, true}) {
      std::string line = FileListLine(name, fileSize, withCheck, check);
      ListEntry e = ParseListEntry(line);
      char sizeText[24], checkText[16];
      std::snprintf(sizeText, sizeof sizeText, "%dbyte", static_cast<int>(static_cast<int32_t>(fileSize)));
      std::snprintf(checkText, sizeof checkText, "0x%08x", check);
      Require(e.name == name && e.size == sizeText && e.check == (withCheck ? checkText : ""));
      Require(e.fields == (withCheck ? 3 : 2));
    }
  }
  return 0;
}
