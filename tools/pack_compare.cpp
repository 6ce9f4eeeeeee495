// flashery-pack compare: the station's acceptance of a current list against
// a reference list, naming the first reference line that fails.
#include <cstdio>

#include "filesets/list_compare.h"
#include "platform/files.h"
#include "tools/pack_command.h"
#include "tools/pack_package_support.h"

namespace flashery::pack {
namespace {

constexpr const char* kName = "compare";

int RunCompare(const std::vector<std::string>& args) {
  ParsedArgs a = ParseArgs(args, {"codepage"});
  if (!a.error.empty()) return Fail(kName, a.error, kUsage);
  std::string cpError;
  std::optional<Codepage> codepage = CommandCodepage(a, cpError);
  if (!codepage) return Fail(kName, cpError, kUsage);
  if (a.positional.size() != 2) return Fail(kName, "expects REF and CUR (see --help)", kUsage);
  const std::string& ref = a.positional[0];
  const std::string& cur = a.positional[1];
  for (const auto& p : {ref, cur})
    if (!IsRegularFile(p)) return Fail(kName, "cannot read " + p, kUsage);

  ListComparison c = CompareLists(ref, cur, *codepage);
  switch (c.verdict) {
    case ListVerdict::Identical: std::printf("accepted: the lists are identical\n"); return kGood;
    case ListVerdict::Accepted: std::printf("accepted: every entry of %s is in %s\n", ref.c_str(), cur.c_str()); return kGood;
    case ListVerdict::Unreadable: return Fail(kName, "cannot read the lists", kUsage);
    case ListVerdict::Missing:
      std::printf("refused: line %zu of %s is missing: %s\n", c.referenceLine, ref.c_str(), c.referenceText.c_str());
      return kRejected;
    case ListVerdict::Differs:
      std::printf("refused: line %zu of %s differs: %s\n  current list: %s\n", c.referenceLine, ref.c_str(),
                  c.referenceText.c_str(), c.currentText.c_str());
      return kRejected;
    case ListVerdict::Misplaced:
      std::printf("refused: line %zu of %s is no entry and out of place: %s\n", c.referenceLine, ref.c_str(),
                  c.referenceText.c_str());
      return kRejected;
  }
  return kRejected;
}

}  // namespace

FLASHERY_PACK_COMMAND({kName, "REF CUR [--codepage N]", "accept or refuse a current list against a reference list",
                       "Compares the current list CUR with the reference list REF as the station's\n"
                       "check does: identical bytes pass at once; otherwise every line of REF must\n"
                       "be in CUR (case aside) - in step, or anywhere after the point where the\n"
                       "lists first differ - so CUR may hold extra entries and folders in another\n"
                       "order, but every reference entry with its size and check value. The first\n"
                       "reference line that fails is named: missing, differing (with the current\n"
                       "entry of that name) or out of place (a line that is no entry).\n"
                       "Exit status: 0 accepted, 1 refused, 2 a list cannot be read.",
                       &RunCompare});

}  // namespace flashery::pack
