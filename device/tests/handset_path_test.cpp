#include "device/handset_path.h"

#include <gtest/gtest.h>

namespace flashery {
namespace {

const std::string kT745 =
    "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#0123456789abcdef&0#"
    "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

TEST(HandsetPath, MatchesTheMakersPathsByPositionAndModelPrefix) {
  // Form B: the product field one character later (a seven-letter vendor
  // field whose first six letters are the vendor word).
  const std::string formB =
      "\\\\?\\usbstor#disk&ven_vantorx&prod_quillon_t745&rev_0001#abc&0#{53f56307}";
  const std::string upper =
      "\\\\?\\USBSTOR#DISK&VEN_VANTOR&PROD_QUILLON_T745&REV_0001#ABCDEF&0#{53F56307}";
  const std::string otherMaker =
      "\\\\?\\usbstor#disk&ven_sandisk&prod_cruzer_blade&rev_1.00#4c53&0#{53f56307}";
  const std::string notUsb =
      "\\\\?\\scsi#disk&ven_vantor&prod_quillon_t745&rev_0001#0123&0#{53f56307}";
  const std::string otherProduct =
      "\\\\?\\usbstor#disk&ven_vantor&prod_storage_t745&rev_0001#0123&0#{53f56307}";
  struct Case {
    const std::string* path;
    const char* model;
    bool match;
  };
  const Case cases[] = {
      {&kT745, "T745", true},
      {&kT745, "t74", true},     // prefix
      {&kT745, "", true},        // no package open
      {&kT745, "T746", false},
      {&kT745, "T7450", false},  // longer than the path's model
      {&formB, "T745", true},
      {&formB, "", true},
      {&formB, "T8", false},
      {&upper, "t745", true},  // compared on the lower-cased copy
      {&otherMaker, "", false},
      {&notUsb, "", false},
      {&otherProduct, "", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchHandsetPath(*c.path, c.model), c.match) << *c.path << " / " << c.model;
  for (const std::string& cut : {std::string(""), std::string("\\\\?\\usb"), kT745.substr(0, 40),
                                 kT745.substr(0, 41)})
    EXPECT_EQ(MatchHandsetPath(cut, ""), cut.size() >= 41) << cut;
  EXPECT_FALSE(MatchHandsetPath(kT745.substr(0, 42), "T745"));
}

TEST(HandsetPath, ProductTextAndInstanceIdKeepTheCaseOfThePath) {
  HandsetPathParts p = ParseHandsetPath(kT745);
  EXPECT_EQ(p.productText, "quillon_t745");
  EXPECT_EQ(p.instanceId, "0123456789abcdef");

  p = ParseHandsetPath("\\\\?\\USBSTOR#DISK&VEN_VANTOR&PROD_Quillon_T745&REV_1#SeRiAl#{x}");
  EXPECT_EQ(p.productText, "Quillon_T745");
  EXPECT_EQ(p.instanceId, "SeRiAl");

  // Bounded to 32 characters; missing parts give empty texts.
  p = ParseHandsetPath("a#b#" + std::string(40, 'z') + "&0");
  EXPECT_EQ(p.instanceId, std::string(32, 'z'));
  EXPECT_EQ(p.productText, "");
  p = ParseHandsetPath("prod_" + std::string(50, 'q'));
  EXPECT_EQ(p.productText, std::string(32, 'q'));
  EXPECT_EQ(p.instanceId, "");
  EXPECT_EQ(ParseHandsetPath("only#one").instanceId, "");
  EXPECT_EQ(ParseHandsetPath("x#y#").instanceId, "");
}

TEST(HandsetPath, BuildsTheInterfacePathFromInquiryStringsAndSerial) {
  auto path = BuildInterfacePath("Vantor  ", "Quillon T745    ", "0001", "0123456789ABCDEF");
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, kT745);
  EXPECT_TRUE(MatchHandsetPath(*path, "T745"));
  EXPECT_EQ(ParseHandsetPath(*path).instanceId, "0123456789abcdef");

  // Separators and odd bytes in what a device reports cannot break the
  // path apart; overlong fields are cut to their inquiry sizes.
  path = BuildInterfacePath("Van#tor&", "Quillon&T745#\xff\x01zzzzzzzzzz", "1\\2/34", "ab#cd&ef");
  ASSERT_TRUE(path);
  EXPECT_EQ(*path,
            "\\\\?\\usbstor#disk&ven_van_tor_&prod_quillon_t745___z&rev_1_2_#ab_cd_ef&0#" +
                std::string(kDiskInterfaceClass));
  EXPECT_EQ(ParseHandsetPath(*path).instanceId, "ab_cd_ef");
  EXPECT_FALSE(BuildInterfacePath("   ", "x", "1", "s"));
  EXPECT_FALSE(BuildInterfacePath("Vantor", "x", "1", " \n"));
  EXPECT_LE(BuildInterfacePath(std::string(100, 'v'), std::string(100, 'p'), std::string(100, 'r'),
                               std::string(300, 's'))
                ->size(),
            kInterfacePathMax);
}

}  // namespace
}  // namespace flashery
