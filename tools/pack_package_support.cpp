#include "tools/pack_package_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "config/station_codepage.h"
#include "platform/command_options.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "text/language.h"

namespace flashery::pack {

std::optional<std::string> ParsedArgs::Get(const std::string& name) const {
  auto it = options.find(name);
  if (it == options.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

const std::vector<std::string>& ParsedArgs::All(const std::string& name) const {
  static const std::vector<std::string> none;
  auto it = options.find(name);
  return it == options.end() ? none : it->second;
}

bool ParsedArgs::Has(const std::string& name) const { return options.count(name) != 0; }

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& known,
                     const std::vector<std::string>& repeatable, const std::vector<std::string>& flags) {
  ParsedArgs parsed;
  auto contains = [](const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
  };
  std::vector<OptionDecl> declared;
  for (const std::string& name : known) declared.push_back({name, OptionDecl::Required});
  for (const std::string& name : flags) declared.push_back({name, OptionDecl::None});
  ReadOptions read = ReadCommandOptions(args, declared, "flashery-pack");
  for (const ReadOptions::Given& g : read.options) {
    const std::string& name = declared[static_cast<size_t>(g.option)].name;
    auto& values = parsed.options[name];
    if (!values.empty() && !contains(repeatable, name) && !contains(flags, name)) {
      parsed.error = "option --" + name + " given twice";
      return parsed;
    }
    values.push_back(g.value.value_or(""));
  }
  if (read.problem) {
    const OptionProblem& bad = *read.problem;
    std::string word = bad.word.substr(0, bad.word.find('='));
    switch (bad.kind) {
      case OptionProblem::NeedsValue: parsed.error = "option --" + declared[static_cast<size_t>(bad.option)].name + " needs a value"; break;
      case OptionProblem::TakesNoValue: parsed.error = "option --" + declared[static_cast<size_t>(bad.option)].name + " takes no value"; break;
      case OptionProblem::Ambiguous: parsed.error = "ambiguous option " + word; break;
      case OptionProblem::Unknown: parsed.error = "unknown option " + word; break;
    }
    return parsed;
  }
  parsed.positional = std::move(read.arguments);
  return parsed;
}

std::optional<QfmSectionKey> ParseSectionKey(const std::string& text) {
  if (CompareNamesNoCase(text, "Env") == 0) return QfmSectionKey::Evn;
  for (QfmSectionKey key : kQfmCheckOrder) {
    if (CompareNamesNoCase(text, SectionLabel(key)) == 0) return key;
  }
  return std::nullopt;
}

std::string SectionLabel(QfmSectionKey key) {
  int slot = ExtendSlotOf(key);
  return slot ? "Extend" + std::to_string(slot) : QfmLayoutOf(key).keyName;
}

TextTable StationTexts() {
  TextTable texts;
  std::optional<std::string> folder = ProgramFolder("");
  if (!folder) return texts;
  std::vector<LanguageFile> files = ListLanguageFiles(*folder);
  const uint16_t wanted[] = {UserDefaultLangId(), 2052};
  for (uint16_t id : wanted) {
    for (const LanguageFile& f : files) {
      if (f.langId == id) {
        texts.Load(f.path);
        return texts;
      }
    }
  }
  for (const LanguageFile& f : files) {
    if (f.langId != 0) {
      texts.Load(f.path);
      break;
    }
  }
  return texts;
}

std::string StationText(const TextTable& texts, int id) {
  std::string t = texts.Get(id);
  return t.empty() ? "(text " + std::to_string(id) + ")" : t;
}

std::optional<Codepage> CommandCodepage(const ParsedArgs& args, std::string& error, const std::string& home) {
  if (std::optional<std::string> given = args.Get("codepage")) {
    char* end = nullptr;
    long number = std::strtol(given->c_str(), &end, 10);
    std::optional<Codepage> cp;
    if (!given->empty() && end && *end == '\0' && number > 0 && number < 100000)
      cp = CodepageOfNumber(static_cast<int32_t>(number));
    if (!cp) error = "--codepage is 936, 950 or 1252";
    return cp;
  }
  std::optional<std::string> folder = home.empty() ? ProgramFolder("") : std::optional<std::string>(home);
  return folder ? StationCodepage(*folder) : Codepage::Gbk;
}

int Fail(const char* command, const std::string& message, int status) {
  std::fprintf(stderr, "flashery-pack %s: %s\n", command, message.c_str());
  return status;
}

}  // namespace flashery::pack
