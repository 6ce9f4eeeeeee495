#include "package/package_open.h"

#include "package/package_identity.h"
#include "package/package_messages.h"
#include "package/package_sha256.h"
#include "package/package_verify.h"
#include "text/station_texts.h"
#include "text/prompter.h"
#include "text/text_table.h"

namespace flashery {

bool ReadPackageHeader(const PackageFile& file, QfmHeader& header, const PackageContext& context) {
  QfmHeader read;
  if (!file.ReadAt(0, read.bytes.data(), read.bytes.size())) {
    context.prompter.Prompt(context.texts.Get(package_text::kHeaderUnreadable));
    return false;
  }
  if (!read.HasMagic()) {
    context.prompter.Prompt(context.texts.Get(package_text::kNotAPackage));
    return false;
  }
  if (auto field = read.UndecodableText(context.legacy)) {
    context.prompter.Prompt(context.texts.Get(station_text::kHeaderTextUndecodable) + ": " + *field);
    return false;
  }
  header = read;
  return true;
}

bool OpenPackage(QfmPackage& package, const std::string& path, std::string& errorText,
                 const PackageContext& context) {
  errorText.clear();
  if (path.empty()) return false;
  package.ClearOpenedState();
  std::optional<PackageFile> file = PackageFile::Open(path);
  if (!file) {
    errorText = context.texts.Get(package_text::kCannotOpen);
    return false;
  }
  const std::optional<PackageIdentity> identity = PackageIdentityOf(file->fd());
  QfmHeader header;
  if (!ReadPackageHeader(*file, header, context)) {
    errorText = context.texts.Get(package_text::kHeaderUnreadable);
    return false;
  }
  PackageSha256 sha256(*file);
  PackageContext reading = context;
  reading.readObserver = &sha256;
  if (!VerifyPackage(*file, header, package, reading) || !SamePackageFile(identity, PackageIdentityOf(file->fd()))) {
    errorText = context.texts.Get(package_text::kRejected);
    return false;
  }
  package.sha256 = sha256.Finish().value_or(std::string());
  package.packagePath = path;
  package.fileIdentity = identity;
  return true;
}

}  // namespace flashery
