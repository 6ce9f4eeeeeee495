#include <gtest/gtest.h>

#include "platform/command_options.h"

namespace flashery {
namespace {

// Each given option as "name=value" (or "name"), then "|" and the arguments,
// or "!kind word" for a problem.
std::string Summary(const std::vector<std::string>& args) {
  const std::vector<OptionDecl> declared = {{"verbose", OptionDecl::None, 'v'},
                                         {"quiet", OptionDecl::None, 'q'},
                                         {"dir", OptionDecl::Required, 'd'},
                                         {"depth", OptionDecl::Optional, 0}};
  ReadOptions r = ReadCommandOptions(args, declared);
  std::string s;
  for (const auto& g : r.options)
    s += declared[static_cast<size_t>(g.option)].name + (g.value ? "=" + *g.value : "") + " ";
  if (r.problem) {
    const char* kinds[] = {"unknown", "ambiguous", "needs", "novalue"};
    return s + "!" + kinds[r.problem->kind] + " " + r.problem->word +
           (r.problem->option >= 0 ? " " + declared[static_cast<size_t>(r.problem->option)].name : "");
  }
  s += "|";
  for (const auto& a : r.arguments) s += " " + a;
  return s;
}

TEST(CommandOptions, LongShortCombinedAbbreviatedAndEndOfOptions) {
  struct Row {
    std::vector<std::string> args;
    const char* expect;
  };
  const Row rows[] = {
      {{"a", "--dir", "x", "b", "--dir=y", "--verb"}, "dir=x dir=y verbose | a b"},
      {{"-vq", "-dX", "-d", "Y", "-qd", "Z"}, "verbose quiet dir=X dir=Y quiet dir=Z |"},
      {{"--depth", "3", "--depth=4"}, "depth depth=4 | 3"},
      {{"-v", "--", "-q", "--dir", "-"}, "verbose | -q --dir -"},
      {{"-", "--dir="}, "dir= | -"},
      {{"-v", "--dir"}, "verbose !needs --dir dir"},
      {{"-qd"}, "quiet !needs -qd dir"},
      {{"--verbose=1"}, "!novalue --verbose=1 verbose"},
      {{"--d", "x"}, "!ambiguous --d"},
      {{"-vx"}, "verbose !unknown -x"},
      {{"--nope=1", "--dir", "x"}, "!unknown --nope=1"},
  };
  for (const Row& r : rows) EXPECT_EQ(Summary(r.args), r.expect);
  // Each reading starts afresh.
  EXPECT_EQ(Summary({"-v"}), "verbose |");
}

}  // namespace
}  // namespace flashery
