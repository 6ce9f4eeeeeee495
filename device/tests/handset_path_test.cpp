#include "device/handset_path.h"

#include <gtest/gtest.h>

namespace flashery {
namespace {

const std::string kT745 =
    "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#0123456789abcdef&0#"
    "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

TEST(HandsetPath, MatchesTheMakersPathsByPositionAndModelPrefix) {
  // Form B has the product field one character later.
  const std::string formB = "\\\\?\\usbstor#disk&ven_vantorx&prod_quillon_t745&rev_1#abc&0#{x}";
  const std::string upper = "\\\\?\\USBSTOR#DISK&VEN_VANTOR&PROD_QUILLON_T745&REV_1#ABC&0#{X}";
  const std::string other = "\\\\?\\usbstor#disk&ven_sandisk&prod_cruzer_blade&rev_1#4c53&0#{x}";
  const std::string notUsb = "\\\\?\\scsi#disk&ven_vantor&prod_quillon_t745&rev_0001#0123&0#{x}";
  const std::string notQuillon = "\\\\?\\usbstor#disk&ven_vantor&prod_storage_t745&rev_1#01&0#{x}";
  struct Case {
    const std::string& path;
    const char* model;
    bool match;
  };
  const Case cases[] = {
      {kT745, "T745", true}, {kT745, "t74", true},     {kT745, "", true},
      {kT745, "T746", false}, {kT745, "T7450", false}, {formB, "T745", true},
      {formB, "T8", false},  {upper, "t745", true},    {other, "", false},
      {notUsb, "", false},   {notQuillon, "", false},
      {kT745.substr(0, 40), "", false}, {kT745.substr(0, 41), "", true},
      {kT745.substr(0, 42), "T745", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchHandsetPath(c.path, c.model), c.match) << c.path << " / " << c.model;
}

TEST(HandsetPath, PartsKeepTheCaseOfThePathAndAreBounded) {
  HandsetPathParts p = ParseHandsetPath(kT745);
  EXPECT_EQ(p.productText, "quillon_t745");
  EXPECT_EQ(p.instanceId, "0123456789abcdef");
  p = ParseHandsetPath("\\\\?\\USBSTOR#DISK&VEN_VANTOR&PROD_Quillon_T745&REV_1#SeRiAl#{x}");
  EXPECT_EQ(p.productText, "Quillon_T745");
  EXPECT_EQ(p.instanceId, "SeRiAl");
  EXPECT_EQ(ParseHandsetPath("a#b#" + std::string(40, 'z') + "&0").instanceId, std::string(32, 'z'));
  EXPECT_EQ(ParseHandsetPath("prod_" + std::string(50, 'q')).productText, std::string(32, 'q'));
  EXPECT_EQ(ParseHandsetPath("only#one").instanceId, "");
}

TEST(HandsetPath, BuildsTheInterfacePathFromInquiryStringsAndSerial) {
  EXPECT_EQ(BuildInterfacePath("Vantor  ", "Quillon T745    ", "0001", "0123456789ABCDEF"), kT745);
  // Separators and odd bytes a device reports cannot break the path apart;
  // fields are cut to their inquiry sizes.
  auto path = BuildInterfacePath("Van#tor&", "Quillon&T745#\xff\x01zzzzzz", "1\\2/34", "ab#cd&ef");
  EXPECT_EQ(path, "\\\\?\\usbstor#disk&ven_van_tor_&prod_quillon_t745___z&rev_1_2_#ab_cd_ef&0#" +
                      std::string(kDiskInterfaceClass));
  EXPECT_FALSE(BuildInterfacePath("   ", "x", "1", "s"));
  EXPECT_FALSE(BuildInterfacePath("Vantor", "x", "1", " \n"));
  EXPECT_LE(BuildInterfacePath(std::string(99, 'v'), std::string(99, 'p'), std::string(99, 'r'),
                               std::string(300, 's'))->size(),
            kInterfacePathMax);
}

}  // namespace
}  // namespace flashery
