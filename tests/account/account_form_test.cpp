#include "account/account_form.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "fake_account_controls.h"
#include "iconv_code_page.h"
#include "memory_file_system.h"

namespace kalvane {
namespace {

using testing::IconvCodePage;
using testing::MemoryDisk;
using testing::MemoryFileSystem;

const IconvCodePage kCp1252("CP1252");
const std::filesystem::path kSettings = "/app/abc.txt";
// MD5("secret")
constexpr std::u16string_view kSecretDigest = u"5EBE2294ECD0E0F08EAB7690D2A6EE69";

// The user types into the password box.
class FakeControls final : public testing::FakeAccountControls {
 public:
  void TypePassword(std::u16string_view text) { SetPassword(text); }
};

struct Rig {
  explicit Rig(std::string stored = "") {
    if (!stored.empty()) disk.files[kSettings].content = std::move(stored);
    controls.form_to_notify = &form;
  }
  MemoryDisk disk;
  MemoryFileSystem files{disk};
  SettingsFile settings{files, kSettings};
  FakeControls controls;
  AccountForm form{controls, settings, kCp1252};
};

TEST(AccountForm, LoadsTheStoredDigestAndKeepsItUntilTheUserTypes) {
  Rig rig("True\r\nexample.com\r\n" + std::string(kSecretDigest.begin(), kSecretDigest.end()) +
          "\r\n");
  rig.form.Load();
  EXPECT_TRUE(rig.controls.updating);
  EXPECT_EQ(rig.controls.domain, u"example.com");
  EXPECT_EQ(rig.controls.password, kSecretDigest);
  EXPECT_TRUE(rig.form.PasswordIsDigest()) << "the form's own write keeps the flag";

  rig.controls.TypePassword(u"new password");
  EXPECT_FALSE(rig.form.PasswordIsDigest());
  EXPECT_EQ(rig.form.Current(), (AccountBoxes{true, u"example.com", u"new password", false}));

  // No file, or updating off in it: the check box is cleared and nothing else is filled.
  for (std::string stored : {std::string(), std::string("False\r\nx\r\n")}) {
    Rig empty(stored);
    empty.controls.updating = true;
    empty.form.Load();
    EXPECT_FALSE(empty.controls.updating) << stored;
    EXPECT_EQ(empty.controls.password, u"") << stored;
  }
}

TEST(AccountForm, SaveStoresTheDigestAndPutsItInThePasswordBox) {
  Rig rig;
  rig.controls.updating = true;
  rig.controls.domain = u"example.com";
  rig.controls.TypePassword(u"secret");
  rig.form.Save();
  EXPECT_EQ(
      rig.disk.Content(kSettings),
      "True\r\nexample.com\r\n" + std::string(kSecretDigest.begin(), kSecretDigest.end()) + "\r\n");
  EXPECT_EQ(rig.controls.password, kSecretDigest);
  EXPECT_TRUE(rig.form.PasswordIsDigest());
  EXPECT_TRUE(rig.controls.messages.empty());

  // Saving again does not digest the digest.
  rig.form.Save();
  EXPECT_EQ(rig.controls.password, kSecretDigest);

  // Empty fields: "True" alone and the one message of the Save command.
  rig.controls.domain.clear();
  rig.form.Save();
  EXPECT_EQ(rig.disk.Content(kSettings), "True\r\n");
  ASSERT_EQ(rig.controls.messages.size(), 1u);
  EXPECT_EQ(rig.controls.messages[0], u"域名和密码都不能为空！");
}

TEST(AccountForm, AFileThatCannotBeWrittenKeepsTheBoxesAndSaysSo) {
  Rig rig("True\r\n");
  rig.disk.files[kSettings].locked = true;
  rig.controls.updating = true;
  rig.controls.domain = u"example.com";
  rig.controls.TypePassword(u"secret");
  rig.form.Save();
  EXPECT_EQ(rig.disk.Content(kSettings), "True\r\n");
  EXPECT_EQ(rig.controls.password, u"secret") << "the typed password stays for another try";
  EXPECT_FALSE(rig.form.PasswordIsDigest());
  ASSERT_EQ(rig.controls.messages.size(), 1u);
  EXPECT_NE(rig.controls.messages[0].find(u"abc.txt"), std::u16string::npos);
}

}  // namespace
}  // namespace kalvane
