#include "platform/command_options.h"

#include <getopt.h>
#include <mutex>

namespace flashery {
namespace {

constexpr int kLongBase = 0x1000;  // getopt's value of long option i: kLongBase + i

std::mutex& GetoptLock() {
  static std::mutex lock;
  return lock;
}

// The problem of a word getopt refused ('?').
OptionProblem Refused(const std::string& word, const std::vector<OptionDecl>& declared, int optoptValue) {
  OptionProblem p;
  p.word = word;
  if (optoptValue >= kLongBase && optoptValue < kLongBase + static_cast<int>(declared.size())) {
    p.kind = OptionProblem::TakesNoValue;  // "--flag=value"
    p.option = optoptValue - kLongBase;
    return p;
  }
  if (word.rfind("--", 0) == 0) {
    std::string name = word.substr(2, word.find('=') == std::string::npos ? std::string::npos : word.find('=') - 2);
    int prefixOf = 0;
    for (const OptionDecl& s : declared)
      if (!name.empty() && s.name.rfind(name, 0) == 0) ++prefixOf;
    if (prefixOf > 1) p.kind = OptionProblem::Ambiguous;
  } else if (optoptValue > 0 && optoptValue < 256) {
    p.word = std::string("-") + static_cast<char>(optoptValue);
  }
  return p;
}

}  // namespace

ReadOptions ReadCommandOptions(const std::vector<std::string>& args, const std::vector<OptionDecl>& declared,
                               const std::string& program) {
  ReadOptions out;
  // "-": arguments come back in order as value 1; ":": a missing value is ':'.
  std::string shorts = "-:";
  std::vector<option> longs;
  for (size_t i = 0; i < declared.size(); ++i) {
    const OptionDecl& s = declared[i];
    int has = s.value == OptionDecl::None ? no_argument
              : s.value == OptionDecl::Required ? required_argument : optional_argument;
    longs.push_back({s.name.c_str(), has, nullptr, kLongBase + static_cast<int>(i)});
    if (s.shortName) {
      shorts += s.shortName;
      if (s.value == OptionDecl::Required) shorts += ':';
      if (s.value == OptionDecl::Optional) shorts += "::";
    }
  }
  longs.push_back({nullptr, 0, nullptr, 0});

  std::vector<std::string> words;
  words.reserve(args.size() + 1);
  words.push_back(program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(words.size());

  std::lock_guard<std::mutex> hold(GetoptLock());
  optind = 0;  // glibc: start afresh
  opterr = 0;
  for (;;) {
    int before = optind == 0 ? 1 : optind;
    int index = -1;
    int c = getopt_long(argc, argv.data(), shorts.c_str(), longs.data(), &index);
    if (c == -1) break;
    if (c == 1) {
      out.arguments.emplace_back(optarg);
      continue;
    }
    // The word of this option: getopt has moved past it (and its value).
    int at = optind > before ? before : optind - 1;
    std::string word = at >= 1 && at < argc ? argv[at] : "";
    if (c == '?') {
      out.problem = Refused(word, declared, optopt);
      break;
    }
    if (c == ':') {
      OptionProblem p{OptionProblem::NeedsValue, word, -1};
      if (optopt >= kLongBase) p.option = optopt - kLongBase;
      for (size_t i = 0; p.option < 0 && i < declared.size(); ++i)
        if (declared[i].shortName && declared[i].shortName == optopt) p.option = static_cast<int>(i);
      out.problem = p;
      break;
    }
    int option = -1;
    if (c >= kLongBase) option = c - kLongBase;
    for (size_t i = 0; option < 0 && i < declared.size(); ++i)
      if (declared[i].shortName == c) option = static_cast<int>(i);
    if (option < 0) continue;  // cannot happen: getopt returns only what it was given
    ReadOptions::Given g{option, std::nullopt};
    if (optarg) g.value = optarg;
    out.options.push_back(std::move(g));
  }
  if (!out.problem)
    for (int i = optind; i < argc; ++i) out.arguments.emplace_back(argv[i]);
  return out;
}

}  // namespace flashery
