#include <gtest/gtest.h>

#include "app/admin_password.h"
#include "app/login_logic.h"
#include "app/sha256.h"
#include "platform/profile.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

std::string Hex(const Sha256Digest& d) { return HexOf(d.data(), d.size()); }

TEST(Sha256, KnownVectorsOfHashHmacAndPbkdf2) {
  EXPECT_EQ(Hex(Sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Hex(Sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the padding needs a second block.
  EXPECT_EQ(Hex(Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Hex(Sha256(std::string(1000, 'a'))),
            "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");
  // RFC 4231 case 2, and a key longer than one block.
  EXPECT_EQ(Hex(HmacSha256("Jefe", "what do ya want for nothing?")),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  EXPECT_EQ(Hex(HmacSha256(std::string(100, 'k'), "msg")),
            "bd56a1782c2830e8abc6ed866a57a1230661e650b84c62f7ee3accc5fa5af491");
  EXPECT_EQ(Hex(Pbkdf2Sha256("passwd", "salt", 1)),
            "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc");
  EXPECT_EQ(Hex(Pbkdf2Sha256("secret", std::string("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff", 16), 1000)),
            "588372775fb38b5711b6f36b465e293dc7b793e008550ee8a10bb26a8e7f85b8");
}

TEST(AdminPassword, BuiltInPasswordUntilAWellFormedHashReplacesIt) {
  EXPECT_TRUE(AdminPasswordAccepted("746", ""));
  EXPECT_FALSE(AdminPasswordAccepted("7460", ""));
  EXPECT_FALSE(AdminPasswordAccepted("", ""));

  std::string stored = FormatAdminPasswordHash("Line7-Station", "0123456789abcdef", 50);
  EXPECT_TRUE(stored.rfind("pbkdf2-sha256$50$30313233", 0) == 0) << stored;
  EXPECT_TRUE(AdminPasswordAccepted("Line7-Station", stored));
  EXPECT_FALSE(AdminPasswordAccepted("line7-station", stored));  // a hashed password is exact
  EXPECT_FALSE(AdminPasswordAccepted("746", stored));            // the built-in one is out of force

  // Values that are not of the shape leave the built-in password in force.
  std::string hash64(64, 'a');
  for (std::string bad : {std::string("746"), "pbkdf2-sha256$0$00$" + hash64,
                          "pbkdf2-sha256$1000001$00$" + hash64, "pbkdf2-sha256$99999999999$00$" + hash64,
                          "pbkdf2-sha256$10$0$" + hash64, "pbkdf2-sha256$10$zz$" + hash64,
                          "pbkdf2-sha256$10$00$" + hash64.substr(2), "pbkdf2-sha256$10$00$" + hash64 + "$",
                          "sha1$10$00$" + hash64, "pbkdf2-sha256$-5$00$" + hash64,
                          "pbkdf2-sha256$10$" + std::string(130, '0') + "$" + hash64}) {
    EXPECT_FALSE(ParseAdminPasswordHash(bad)) << bad;
    EXPECT_TRUE(AdminPasswordAccepted("746", bad)) << bad;
  }
  // The shape written by the documented one-line recipe parses.
  auto ok = ParseAdminPasswordHash("pbkdf2-sha256$1000$00112233445566778899aabbccddeeff$"
                                   "588372775fb38b5711b6f36b465e293dc7b793e008550ee8a10bb26a8e7f85b8");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->iterations, 1000u);
  EXPECT_EQ(ok->salt.size(), 16u);
  EXPECT_TRUE(AdminPasswordAccepted("secret", "pbkdf2-sha256$1000$00112233445566778899AABBCCDDEEFF$"
                                              "588372775fb38b5711b6f36b465e293dc7b793e008550ee8a10bb26a8e7f85b8"));
}

TEST(AdminPassword, IsReadFromTheLoginSectionOfTheSettings) {
  testing::TempDir dir;
  EXPECT_EQ(ReadAdminPasswordSetting(dir.path()), "");
  ASSERT_TRUE(WriteProfileString(dir / "downtoolcfg.ini", "LOGIN", "AdminPassword", "pbkdf2-sha256$1$$x"));
  EXPECT_EQ(ReadAdminPasswordSetting(dir.path()), "pbkdf2-sha256$1$$x");
}

TEST(LoginTexts, LanguageIdChoosesTheSetAndRoleNamesAreRecognisedInEach) {
  struct Row {
    int storedId;
    uint16_t setId;
  } rows[] = {{2052, 2052}, {0, 2052}, {1041, 2052}, {1033, 1033}, {1028, 1028}};
  for (const Row& r : rows) {
    LoginTexts t = LoginTextsFor(LoginLanguageForId(r.storedId));
    EXPECT_EQ(t.languageId, r.setId) << r.storedId;
    EXPECT_TRUE(IsAdministratorName(t.administratorItem)) << r.storedId;
    EXPECT_FALSE(IsAdministratorName(t.operatorItem)) << r.storedId;
  }
  EXPECT_FALSE(IsAdministratorName("administrator"));  // exact bytes
}

TEST(LoginDecision, MessagesAndCaptionsByLanguageAndRole) {
  struct Row {
    int sel;
    const char* user;
    const char* password;
    int lang;
    bool accepted;
    const char* message;
    const char* caption;
  } rows[] = {
      {0, "操作员", "", 2052, true, "", ""},
      {0, "Operator", "anything", 1033, true, "", ""},
      {-1, "", "", 2052, false, "用户名不能为空！", ""},
      {-1, "", "", 1033, false, "user name null！", ""},
      {-1, "", "", 1028, false, "user name null！", ""},
      {1, "管理员", "746", 2052, true, "", ""},
      {1, "管理员", "747", 2052, false, "管理员密码错误，请重试", "登录失败"},
      {1, "Administrator", "", 1033, false, "Administrator  wrong password!", "ERROR"},
      {1, "管理员", "x", 1028, false, "管理员  wrong password!", "ERROR"},
  };
  for (const Row& r : rows) {
    LoginVerdict v = DecideLogin(r.sel, r.user, r.password, r.lang, "");
    EXPECT_EQ(v.accepted, r.accepted) << r.user << "/" << r.password;
    EXPECT_EQ(v.message, r.message);
    EXPECT_EQ(v.caption, r.caption);
    EXPECT_EQ(v.informationIcon, !r.accepted && r.sel >= 0);
  }
  // With a stored hash the message for a wrong password is the same one.
  std::string stored = FormatAdminPasswordHash("n3w", "salt", 3);
  EXPECT_TRUE(DecideLogin(1, "管理员", "n3w", 2052, stored).accepted);
  EXPECT_EQ(DecideLogin(1, "管理员", "746", 2052, stored).message, "管理员密码错误，请重试");
}

}  // namespace
}  // namespace flashery
