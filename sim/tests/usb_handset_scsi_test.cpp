// What the USB handset answers: the standard SCSI commands of a USB disk's
// probe, the transport's data-phase rules, sense data, and vendor blocks
// handed to the handset model.
#include "sim/usb_handset_scsi.h"

#include <gtest/gtest.h>

#include "scripted_station.h"
#include "sim/usb_handset_options.h"

namespace flashery::sim {
namespace {

using namespace flashery::sim::testing;

struct TargetBench {
  ModelBench m;
  UsbScsiTarget target{m.model, IdentityFor(m.model.config())};

  BotAnswer Run(std::vector<uint8_t> block, uint32_t hostLength, bool dataIn, const uint8_t* data = nullptr) {
    Cbw c;
    c.cdbLength = static_cast<uint8_t>(block.size());
    std::copy(block.begin(), block.end(), c.cdb.begin());
    c.dataLength = hostLength;
    c.dataIn = dataIn;
    return target.Execute(c, data);
  }
  BotAnswer Vendor(const Cdb& cdb, uint32_t hostLength, bool dataIn, const uint8_t* data = nullptr) {
    return Run(std::vector<uint8_t>(cdb.begin(), cdb.end()), hostLength, dataIn, data);
  }
};

TEST(UsbHandsetScsi, StandardCommandsAnswerAsAUsbDiskUnderTheTransportRules) {
  const SenseCode none = kNoSense;
  struct Row {
    const char* what;
    std::vector<uint8_t> block;
    uint32_t hostLength;
    bool dataIn;
    CswStatus status;
    uint32_t residue;
    SenseCode sense;
    std::vector<uint8_t> first;  // leading bytes of the data phase
  };
  const Row rows[] = {
      {"inquiry", {0x12, 0, 0, 0, 36, 0}, 36, true, CswStatus::kPassed, 0, none, {0x00, 0x80, 0x04, 0x02, 31}},
      {"inquiry cut by its allocation", {0x12, 0, 0, 0, 5, 0}, 5, true, CswStatus::kPassed, 0, none, {0, 0x80, 4, 2, 31}},
      {"inquiry padded to the host's length", {0x12, 0, 0, 0, 36, 0}, 64, true, CswStatus::kPassed, 28, none, {0, 0x80}},
      {"inquiry of a product data page", {0x12, 1, 0x80, 0, 36, 0}, 36, true, CswStatus::kFailed, 36, kInvalidField, {0, 0}},
      {"inquiry with more data than the host takes", {0x12, 0, 0, 0, 36, 0}, 20, true, CswStatus::kPhaseError, 0, none, {0, 0x80}},
      {"inquiry without a data phase", {0x12, 0, 0, 0, 36, 0}, 0, false, CswStatus::kPhaseError, 0, none, {}},
      {"inquiry with data from the host", {0x12, 0, 0, 0, 36, 0}, 36, false, CswStatus::kPhaseError, 36, none, {}},
      {"test unit ready", {0x00, 0, 0, 0, 0, 0}, 0, false, CswStatus::kPassed, 0, none, {}},
      {"prevent medium removal", {0x1E, 0, 0, 0, 1, 0}, 0, false, CswStatus::kPassed, 0, none, {}},
      {"read capacity", {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8, true, CswStatus::kPassed, 0, none, {0, 0, 0x1F, 0xFF, 0, 0, 2, 0}},
      {"mode sense", {0x1A, 0, 0x3F, 0, 192, 0}, 192, true, CswStatus::kPassed, 188, none, {3, 0, 0, 0}},
      {"report luns", {0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0}, 16, true, CswStatus::kPassed, 0, none, {0, 0, 0, 8}},
      {"sectors are not served", {0x28, 0, 0, 0, 0, 0, 0, 0, 8, 0}, 4096, true, CswStatus::kFailed, 4096, kInvalidOpcode, {0}},
      {"nor written", {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 512, false, CswStatus::kFailed, 512, kInvalidOpcode, {}},
  };
  for (const Row& r : rows) {
    TargetBench b;
    BotAnswer a = b.Run(r.block, r.hostLength, r.dataIn);
    EXPECT_EQ(a.status, r.status) << r.what;
    EXPECT_EQ(a.residue, r.residue) << r.what;
    EXPECT_TRUE(b.target.pendingSense() == r.sense) << r.what;
    EXPECT_EQ(a.data.size(), r.dataIn ? r.hostLength : 0) << r.what;
    ASSERT_LE(r.first.size(), a.data.size()) << r.what;
    EXPECT_TRUE(std::equal(r.first.begin(), r.first.end(), a.data.begin())) << r.what;
    if (r.residue > 0 && r.dataIn) {
      EXPECT_EQ(a.data.back(), 0) << r.what << ": padding";
    }
  }
}

TEST(UsbHandsetScsi, InquiryNamesTheHandsetAsTheStationExpects) {
  TargetBench b;
  BotAnswer a = b.Run({0x12, 0, 0, 0, 36, 0}, 36, true);
  EXPECT_EQ(std::string(a.data.begin() + 8, a.data.end()), "VANTOR  QUILLON_T745    0001");
}

TEST(UsbHandsetScsi, SenseDescribesTheCommandBeforeAndOnlyThatOne) {
  TargetBench b;
  const std::vector<uint8_t> requestSense = {0x03, 0, 0, 0, 18, 0};
  b.Run({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 512, true);
  BotAnswer s = b.Run(requestSense, 18, true);
  EXPECT_EQ(s.status, CswStatus::kPassed);
  EXPECT_EQ(std::vector<uint8_t>(s.data.begin(), s.data.begin() + 14),
            (std::vector<uint8_t>{0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00}));
  EXPECT_EQ(b.Run(requestSense, 18, true).data[2], 0);  // taken: no sense now

  b.Run({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 512, true);
  b.Run({0x00, 0, 0, 0, 0, 0}, 0, false);  // another command in between
  EXPECT_EQ(b.Run(requestSense, 18, true).data[2], 0);
}

TEST(UsbHandsetScsi, VendorBlocksGoToTheHandsetModel) {
  TargetBench b;
  // QueryState: the model's 4 bytes. The model wants exactly its length,
  // so a longer data phase is refused and padded.
  BotAnswer q = b.Vendor(QueryStateCdb(), 4, true);
  EXPECT_EQ(q.status, CswStatus::kPassed);
  EXPECT_EQ(q.data, (std::vector<uint8_t>{2, 0, 0, 0}));
  EXPECT_EQ(q.residue, 0u);
  BotAnswer longer = b.Vendor(QueryStateCdb(), 8, true);
  EXPECT_EQ(longer.status, CswStatus::kFailed);
  EXPECT_EQ(longer.data, std::vector<uint8_t>(8, 0));
  EXPECT_EQ(longer.residue, 8u);

  // A block the model does not know fails, with its sense on the next
  // REQUEST SENSE, as the host's automatic sense fetch reads it.
  BotAnswer u = b.Vendor(Vendor(0x7E, 0x01), 0, false);
  EXPECT_EQ(u.status, CswStatus::kFailed);
  EXPECT_TRUE(b.target.pendingSense() == kInvalidField);
  EXPECT_EQ(b.m.rejected().size(), 2u);

  // Data for the handset reaches the model whole; a refusal leaves it all
  // unprocessed.
  const std::string name = "a//b";
  BotAnswer f = b.Vendor(NameCdb(1, name.size()), static_cast<uint32_t>(name.size()), false,
                         reinterpret_cast<const uint8_t*>(name.data()));
  EXPECT_EQ(f.status, CswStatus::kFailed);  // no folders in the download stage
  EXPECT_EQ(f.residue, name.size());
  EXPECT_NE(b.m.LastReason().find("download stage"), std::string::npos) << b.m.LastReason();

  // A shortened vendor block never reaches the model.
  BotAnswer s = b.Run({0xFF, 0xFF, 1, 1, 0, 0}, 0, false);
  EXPECT_EQ(s.status, CswStatus::kFailed);
  EXPECT_EQ(b.m.rejected().size(), 3u);

  // A restart is answered, then the server takes the handset off the bus.
  ASSERT_EQ(b.Vendor(OpenDownloadCdb(), 0, false).status, CswStatus::kPassed);
  b.m.clock.Advance(1000);
  BotAnswer r = b.Vendor(RestartCdb(true), 0, true);
  EXPECT_EQ(r.status, CswStatus::kPassed);
  EXPECT_TRUE(r.leaveBus);
}

TEST(UsbHandsetScsi, OptionsAreFlasherySimsPlusTheUsbBody) {
  auto p = ParseUsbHandsetOptions({"--dir", "/tmp/h", "--udc=dummy_udc.0", "--serial", "VT42", "--offbus-ms", "500",
                                   "--drop-at-block", "1", "--trace", "--ffs=/ffs"});
  ASSERT_TRUE(p.ok()) << p.error;
  HandsetConfig c = UsbHandsetConfig(p.options);
  EXPECT_EQ(c.serial, "VT42");
  EXPECT_EQ(c.folder, "/tmp/h/VT42");
  EXPECT_EQ(c.timings.offBusMs, 500u);
  EXPECT_EQ(c.faults.dropAtBlock, 1u);
  EXPECT_EQ(p.options.gadget.udc, "dummy_udc.0");
  EXPECT_EQ(p.options.gadget.serial, "VT42");
  EXPECT_TRUE(p.options.trace);
  EXPECT_EQ(p.options.gadget.ffsDir, "/ffs");

  auto plain = ParseUsbHandsetOptions({"--dir", "/d", "--udc", "u"});
  EXPECT_EQ(UsbHandsetConfig(plain.options).serial, "SIM0001");
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"--dir", "/d"}, {"--dir", "/d", "--udc", "u", "--count", "2"}, {"--dir", "/d", "--udc", "u", "--serial", "a b"},
           {"--dir", "/d", "--udc", "../x"}, {"--dir", "/d", "--udc", "u", "--refuse", "NoSuch"}, {"--udc", "u", "--serial"},
           {"--dir", "/d", "--udc", "u", "--trace=1"}, {"--dir", "/d", "--udc", "u", "stray"}})
    EXPECT_FALSE(ParseUsbHandsetOptions(bad).ok()) << bad.back();
}

}  // namespace
}  // namespace flashery::sim
