// The text table: every message the station shows or logs in the
// operator's language is a numbered text (text id). The texts come from
// section "Text" of the active language file, key 100 + id written in
// decimal ("100" ... "324"). After loading the table holds exactly 225
// texts (a missing key is an empty text at its id), each at most 1,023
// bytes. Texts the station adds are kept by name beside them
// (text/station_texts.h). It is loaded once and never changed, so any thread may read it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "text/station_texts.h"

namespace flashery {

class ProfileDocument;

class TextTable {
 public:
  static constexpr int kCount = 225;
  static constexpr size_t kMaxBytes = 1023;

  // Appends the 225 texts of the language file; does nothing when the path
  // is empty (no language file active). A missing file gives 225 empty
  // texts, as missing keys do.
  void Load(const std::string& languageFilePath);
  void LoadFrom(const ProfileDocument& doc);

  // The text of `id`; empty for an id outside the table (or an empty
  // table), which every caller can concatenate safely.
  std::string Get(int id) const;
  std::string operator()(int id) const { return Get(id); }
  // A text the station adds (section "Station" of the language file): the
  // file's text, or the built-in English one when the file has none.
  std::string Get(const StationText& text) const;
  size_t size() const { return texts_.size(); }

 private:
  std::vector<std::string> texts_;
  std::map<std::string, std::string, std::less<>> named_;
};

}  // namespace flashery
