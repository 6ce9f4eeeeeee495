#include "station_harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "engine/handset_name.h"
#include "package/crc16.h"
#include "package/package_identity.h"
#include "package/qfm_layout.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace flashery::test {

std::vector<uint8_t> TestBytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> v(size);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return v;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  MakeDirectories(DirName(path));
  return WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void LoadBracketTexts(TextTable& texts) {
  std::string lng = "[Text]\n";
  for (int id = 0; id < TextTable::kCount; ++id)
    lng += std::to_string(100 + id) + "=[" + std::to_string(id) + "]\n";
  texts.LoadFrom(ProfileDocument::Parse(lng));
}

Station::Station() {
  LoadBracketTexts(texts);
  log.Reset(dir.path() + "/run.txt", &prompter);
  clock.SetSleepHook([this](uint64_t now) {
    for (auto& [port, h] : handsets_) h->Tick(now);
  });
}

Station::~Station() { clock.SetSleepHook(nullptr); }

ModelHandset& Station::Plug(int port, const std::string& serial, sim::HandsetConfig config) {
  config.serial = serial;
  config.folder = dir.path() + "/bus/" + serial;
  auto h = std::make_shared<ModelHandset>(config, records, port, clock);
  EXPECT_TRUE(h->PowerOn());
  records.Set(port, h->Record());
  handsets_[port] = h;
  return *h;
}

void Station::SetSection(QfmSectionKey key, std::vector<uint8_t> bytes, const std::string& name,
                         uint8_t fileCode) {
  QfmSection& s = package.section(key);
  s.present = 1;
  s.size = static_cast<uint32_t>(bytes.size());
  s.name = name;
  s.fileCode = fileCode;
  sectionBytes[key] = std::move(bytes);
}

void Station::WritePackage() {
  std::vector<uint8_t> file(kQfmHeaderBytes, 0);
  for (auto& [key, bytes] : sectionBytes) {
    package.section(key).offset = static_cast<uint32_t>(file.size());
    file.insert(file.end(), bytes.begin(), bytes.end());
  }
  package.packagePath = dir.path() + "/test.QFM";
  ASSERT_TRUE(WriteBytes(package.packagePath, file));
  for (auto& [key, bytes] : sectionBytes) {
    SectionCheckBuilder check;
    check.Add(bytes.data(), bytes.size());
    package.section(key).checkValue = check.Value();
  }
  package.fileIdentity = PackageIdentityAt(package.packagePath);
}

PortJobContext Station::Context(int port, bool commandLineMode) {
  auto h = handsets_.count(port) ? handsets_[port] : nullptr;
  auto transport = [h]() -> std::unique_ptr<Transport> { return h ? h->NewTransport() : nullptr; };
  return PortJobContext{port, records, texts, prompter, clock, semaphore, transport,
                        std::make_shared<const DownloadSelection>(selection),
                        std::make_shared<const QfmPackage>(package), commandLineMode, clock.NowMs(),
                        &view, listener, &log};
}

bool Station::Run(int port, bool commandLineMode) {
  if (!commandLineMode) {
    EXPECT_TRUE(records.TryStartJob(port));
  }
  return PortJob(Context(port, commandLineMode));
}

std::unique_ptr<PortDevice> Station::OpenDevice(int port) {
  PortOutput out;
  out.view = &view;
  out.log = &log;
  auto dev = std::make_unique<PortDevice>(records.Get(port), port, handsets_.at(port)->NewTransport(),
                                          texts, clock, out);
  EXPECT_TRUE(dev->OpenDevice());
  return dev;
}

size_t Station::Count(const std::string& text) const {
  std::string log = ReadWholeFile(dir.path() + "/run.txt").value_or("");
  size_t n = 0;
  for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size())) ++n;
  return n;
}

void FlipByteInPlace(const std::string& path, uint64_t at) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  char c = 0;
  f.seekg(static_cast<std::streamoff>(at));
  f.get(c);
  f.seekp(static_cast<std::streamoff>(at));
  f.put(static_cast<char>(c ^ 0x5A));
  ASSERT_TRUE(f.good()) << path;
}

void FlipPackageByteOn(Station& st, int port, const VendorCommand& like, int nth, uint64_t at) {
  auto seen = std::make_shared<int>(0);
  st.handset(port).beforeCommand = [=, path = st.package.packagePath](const std::array<uint8_t, kCdbLength>& cdb) {
    if (cdb[2] == like.cdb[2] && cdb[3] == like.cdb[3] && ++*seen == nth) FlipByteInPlace(path, at);
  };
}

void ExpectImage(const std::string& handsetFolder, uint8_t code, const std::vector<uint8_t>& bytes) {
  std::string path = handsetFolder + "/images/image_" + std::to_string(code) + ".bin";
  ASSERT_TRUE(PathExists(path)) << path;
  EXPECT_TRUE(ReadBytes(path) == bytes) << "image " << int(code) << " differs";
}

namespace {
void CollectFiles(const std::string& root, const std::string& rel, std::vector<std::string>& out) {
  for (const DirEntry& e : ListFolder(rel.empty() ? root : root + "/" + rel)) {
    std::string r = rel.empty() ? e.name : rel + "/" + e.name;
    if (e.isDir) CollectFiles(root, r, out);
    else out.push_back(r);
  }
}
}  // namespace

void ExpectStorageMirrors(const std::string& handsetFolder, const std::string& area,
                          const std::string& setFolder) {
  std::vector<std::string> local, stored;
  CollectFiles(setFolder, "", local);
  CollectFiles(handsetFolder + "/storage/" + area, "", stored);
  std::vector<std::string> expected;
  for (const std::string& r : local)
    if (!IsSkippedListFile(r)) expected.push_back(r);
  EXPECT_EQ(stored, expected) << area;
  for (const std::string& r : expected)
    EXPECT_TRUE(ReadBytes(setFolder + "/" + r) == ReadBytes(handsetFolder + "/storage/" + area + "/" + r))
        << area << "/" << r << " differs";
}

std::string Rejections(const sim::HandsetReport& report) {
  std::string s;
  for (const auto& r : report.rejected) s += r.command + ": " + r.reason + "\n";
  return s;
}

uint32_t TraceCount(const sim::HandsetReport& report, const std::string& command, int status) {
  uint32_t n = 0;
  for (const auto& t : report.trace)
    if (t.command == command && (status < 0 || t.status == status)) n += t.count;
  return n;
}

}  // namespace flashery::test
