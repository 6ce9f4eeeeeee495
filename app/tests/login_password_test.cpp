#include <gtest/gtest.h>

#include "app/admin_password.h"
#include "app/login_logic.h"
#include "platform/profile.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

std::string Hex(const std::optional<Sha256Digest>& d) { return d ? HexOf(d->data(), d->size()) : "none"; }

// The stored form: what earlier stations wrote must still verify.
TEST(Pbkdf2Sha256, KnownVectorsOfTheStoredForm) {
  EXPECT_EQ(Hex(Pbkdf2Sha256("passwd", "salt", 1)),
            "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc");
  EXPECT_EQ(Hex(Pbkdf2Sha256("secret", std::string("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff", 16), 1000)),
            "588372775fb38b5711b6f36b465e293dc7b793e008550ee8a10bb26a8e7f85b8");
  // An empty salt and an empty password are allowed by the stored form.
  EXPECT_EQ(Hex(Pbkdf2Sha256("", "", 1)).size(), 64u);
  EXPECT_EQ(Hex(Pbkdf2Sha256("x", "", 0)), "none");
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
