// Options of a command line, read with getopt_long over a list of words, so
// every program takes them the same way: "--name value", "--name=value",
// unambiguous abbreviations of long names, combined short options ("-ab",
// "-dDIR"), and "--" ending the options (every later word is an argument,
// even one that starts with '-'). Arguments may stand between options; they
// are returned in order.
//
// getopt_long keeps its state in globals; the reading is serialised by a
// lock and getopt's own messages are off: a problem is returned for the
// caller to word.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace flashery {

struct OptionDecl {
  enum Value { None, Required, Optional };  // Optional: only after '='
  std::string name;                         // long name without "--"
  Value value = None;
  char shortName = 0;                       // 0: none
};

struct OptionProblem {
  enum Kind { Unknown, Ambiguous, NeedsValue, TakesNoValue };
  Kind kind = Unknown;
  std::string word;  // the word as given ("--colour=red", "-x")
  int option = -1;  // NeedsValue, TakesNoValue: the option concerned (index into the declarations)
};

struct ReadOptions {
  struct Given {
    int option;                        // index into the declarations
    std::optional<std::string> value;  // absent for None, or Optional without '='
  };
  std::vector<Given> options;          // in order, up to the first problem
  std::vector<std::string> arguments;  // the words that are no options
  std::optional<OptionProblem> problem;
};

// args: the words after the program (or subcommand) name; `program` is
// only the name getopt sees as argv[0].
ReadOptions ReadCommandOptions(const std::vector<std::string>& args, const std::vector<OptionDecl>& declared,
                               const std::string& program = "flashery");

}  // namespace flashery
