#include "filesets/list_examine.h"

#include "filesets/list_codepage.h"
#include "filesets/list_compare.h"
#include "platform/files.h"

namespace flashery {

ListProbe ExamineList(const std::string& listPath, const std::string& marker, Codepage system) {
  ListProbe probe;
  probe.codepage = system;
  if (listPath.empty() || !IsRegularFile(listPath)) return probe;
  auto bytes = ReadWholeFile(listPath, kMaxListBytes);
  if (!bytes) return probe;
  probe.codepage = DetectListCodepage(*bytes, system);
  std::optional<std::string> decoded = DecodeListText(*bytes, system);
  if (!decoded) {
    probe.undecodable = true;
    return probe;
  }
  std::string text = std::move(*decoded);
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  probe.ok = true;
  probe.noThumbs = text.find("thumbs.db") == std::string::npos;
  probe.hasChecks = text.find("byte;0x") != std::string::npos;
  probe.hasMarker = !marker.empty() && text.find(marker) != std::string::npos;
  return probe;
}

}  // namespace flashery
