#include "app/package_facts.h"

namespace flashery {
namespace {

SectionFacts FactsOf(const QfmSection& s) { return SectionFacts{s.name, s.size, s.IsPresent()}; }

}  // namespace

PackageFacts PackageFactsOf(const QfmPackage* package) {
  PackageFacts f;
  if (package == nullptr) return f;
  f.productName = package->productName;
  f.infoText = package->infoText;
  f.packageSize = package->packageSize;
  f.xloader = FactsOf(package->section(QfmSectionKey::MLO));
  f.bootloader = FactsOf(package->section(QfmSectionKey::BL));
  f.env = FactsOf(package->section(QfmSectionKey::Evn));
  f.kernel = FactsOf(package->section(QfmSectionKey::NK));
  f.system = FactsOf(package->section(QfmSectionKey::System));
  f.userdata = FactsOf(package->section(QfmSectionKey::Userdata));
  return f;
}

}  // namespace flashery
