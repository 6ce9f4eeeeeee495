#include "text/text_table.h"

#include "platform/profile.h"
#include "text/language.h"

namespace flashery {

void TextTable::Load(const std::string& languageFilePath) {
  if (languageFilePath.empty()) return;
  LoadFrom(LoadLanguageDocument(languageFilePath));
}

void TextTable::LoadFrom(const ProfileDocument& doc) {
  for (int n = 0; n < kCount; ++n)
    texts_.push_back(doc.GetString("Text", std::to_string(100 + n), "", kMaxBytes));
  for (const StationText& t : kAllStationTexts) {
    std::string value = doc.GetString("Station", std::string(t.key), "", kMaxBytes);
    if (!value.empty()) named_[std::string(t.key)] = std::move(value);
  }
}

std::string TextTable::Get(const StationText& text) const {
  auto it = named_.find(text.key);
  return it != named_.end() ? it->second : std::string(text.english);
}

std::string TextTable::Get(int id) const {
  if (id < 0 || static_cast<size_t>(id) >= texts_.size()) return {};
  return texts_[static_cast<size_t>(id)];
}

}  // namespace flashery
