// What the package commands of flashery-pack share: option parsing, section
// names on the command line, the station's text table and message output.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "package/qfm_layout.h"
#include "package/qfm_package.h"
#include "platform/codepage.h"
#include "text/text_table.h"

namespace flashery::pack {

// The options of a command, read with getopt_long: "--name value",
// "--name=value", unambiguous abbreviations, "--" before arguments that
// start with '-'. Each valued option at most once unless listed as
// repeatable; flags take no value. The arguments in order.
struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::string>> options;  // a flag: one "" per use
  std::string error;  // empty when the arguments parsed

  std::optional<std::string> Get(const std::string& name) const;
  const std::vector<std::string>& All(const std::string& name) const;
  bool Has(const std::string& name) const;
};
// `known` lists the valued option names without "--", `repeatable` those
// that may appear more than once, `flags` the options without a value.
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& known,
                     const std::vector<std::string>& repeatable = {}, const std::vector<std::string>& flags = {});

// Section names accepted on the command line, without regard to case: BL,
// NK, MLO, userdata, system, Evn (or Env), cache, Recovery, Extend1..Extend5.
std::optional<QfmSectionKey> ParseSectionKey(const std::string& text);
// The name printed for a section: the key, with the slot for Extend sections.
std::string SectionLabel(QfmSectionKey key);

// The text table of the station's language: the language file in the
// program folder (chosen as the station chooses it) whose id is the
// user's default language, else Simplified Chinese (2052), else the first
// valid one. Empty when there is none.
TextTable StationTexts();
// A text of the table, or "(text N)" when the table has none.
std::string StationText(const TextTable& texts, int id);

// The station's legacy code page for a command: --codepage N (936 GBK, 950
// Big5 or 1252; any other value is a usage error: nullopt and *error set),
// else the setting codePage of section [Station] in the downtoolcfg.ini of
// `home` (the program folder, chosen as the station chooses it, when
// empty), else 936.
std::optional<Codepage> CommandCodepage(const ParsedArgs& args, std::string& error, const std::string& home = "");

// Writes "flashery-pack CMD: message" to stderr and returns `status`.
int Fail(const char* command, const std::string& message, int status);

}  // namespace flashery::pack
