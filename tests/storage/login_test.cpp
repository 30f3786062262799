// The login dialog's decisions, the login state, and the storage lookups that
// the password prompts and key code make through associations.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "platform/settings.h"
#include "storage/key_passwords.h"
#include "storage/login.h"
#include "tests/storage/storage_test_util.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx::storage {
namespace {

using testing_util::FileBytes;
using testing_util::MakeAccount;
using testing_util::Owners;

class Confirmer final : public PasswordConfirmer {
 public:
  bool ConfirmPassword(const SecureString& first) override {
    ++asked;
    return retyped.has_value() && SecureString(*retyped) == first;
  }
  std::optional<std::string> retyped;  // nullopt: the question is cancelled
  int asked = 0;
};

// Logs in with scripted name/password pairs, as a user at the dialog would:
// each attempt is one press of OK; the dialog closes on the first success.
class ScriptedLoginDialog final : public LoginDialogRunner {
 public:
  ScriptedLoginDialog(const AccountFolder& folder, SettingsStore* settings)
      : folder_(folder), settings_(settings) {}
  std::optional<StorageSession> RunLoginDialog() override {
    ++runs;
    offered.push_back(SuggestedLoginName(settings_));
    while (!attempts.empty()) {
      auto [name, password] = attempts.front();
      attempts.pop_front();
      auto session = SubmitLogin(folder_, name, SecureString(password), messages, confirmer, settings_);
      if (session) return std::move(session).value();
      ShowFailure(messages, session.error());  // as the dialog does before the next try
    }
    return std::nullopt;  // Cancel
  }
  std::deque<std::pair<std::string, std::string>> attempts;
  std::vector<std::string> offered;
  int runs = 0;
  test::ScriptedMessages messages;
  Confirmer confirmer;

 private:
  const AccountFolder& folder_;
  SettingsStore* settings_;
};

class LoginTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  AccountFolder folder{NativeFileSystem(), dir.path()};
  std::unique_ptr<SettingsStore> settings = OpenFileSettings(dir.File("settings.txt"));
};

TEST_F(LoginTest, SubmitDecisions) {
  MakeAccount(folder, "alice", "secret", 1);
  struct Case {
    const char* what;
    std::string name;
    std::string password;
    bool create_answer;                  // to "Do you want to create new account?"
    std::optional<std::string> retyped;  // the confirmation
    bool logged_in;
    std::vector<Msg> shown;
    std::vector<Msg> asked;
    bool remembered;  // "user_name" written
  };
  const Case cases[] = {
      {"existing account", "alice", "secret", false, {}, true, {}, {}, true},
      {"wrong password", "alice", "nope", false, {}, false, {Msg::LoginFailure}, {}, false},
      {"empty password", "alice", "", false, {}, false, {Msg::EnterPassword}, {}, false},
      {"new account declined", "bob", "pw", false, {}, false, {}, {Msg::CreateAccountQuestion}, false},
      {"new account, empty password", "bob", "", true, {}, false, {Msg::EnterPassword},
       {Msg::CreateAccountQuestion}, false},
      {"new account, confirmation differs", "bob", "pw", true, "PW", false,
       {Msg::WrongConfirmation}, {Msg::CreateAccountQuestion}, false},
      {"new account, confirmation cancelled", "bob", "pw", true, std::nullopt, false,
       {Msg::WrongConfirmation}, {Msg::CreateAccountQuestion}, false},
      {"new account", "carol", "pw", true, "pw", true, {}, {Msg::CreateAccountQuestion}, true},
      {"unusable name", "a/b", "pw", true, "pw", false, {Msg::AccountNameInvalid}, {}, false},
      {"device name", "LPT1", "pw", true, "pw", false, {Msg::AccountNameInvalid}, {}, false},
      {"trailing blank, new", "dave ", "pw", true, "pw", false, {Msg::AccountNameInvalid}, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScriptedMessages messages;
    messages.answers.push_back(c.create_answer);
    Confirmer confirmer;
    confirmer.retyped = c.retyped;
    ASSERT_TRUE(settings->WriteString(kUserNameSetting, "before"));
    auto session = SubmitLogin(folder, c.name, SecureString(c.password), messages, confirmer, settings.get());
    EXPECT_EQ(session.ok(), c.logged_in);
    EXPECT_TRUE(messages.shown.empty()) << "the login decision only asks";
    EXPECT_EQ(test::MessageIds(session), c.shown);
    EXPECT_EQ(messages.asked, c.asked);
    EXPECT_EQ(*settings->ReadString(kUserNameSetting), c.remembered ? c.name : "before");
    if (session) {
      EXPECT_EQ(session->account(), c.name);
    }
  }
  // Only the account that was confirmed was created.
  EXPECT_TRUE(folder.Exists("carol"));
  EXPECT_FALSE(folder.Exists("bob"));
  EXPECT_FALSE(folder.Exists("dave "));
}

TEST_F(LoginTest, CorruptedFileIsReportedAtLogin) {
  auto session = MakeAccount(folder, "alice", "secret", 0);
  Bytes cut = FileBytes(session.path());
  cut.resize(20);
  ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(session.path(), cut));
  test::ScriptedMessages messages;
  Confirmer confirmer;
  auto refused = SubmitLogin(folder, "alice", SecureString("secret"), messages, confirmer, nullptr);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.code(), Errc::Corrupted);
  const Error& error = refused.error();
  ASSERT_EQ(error.messages.size(), 1u);
  EXPECT_EQ(error.messages[0].id, Msg::StorageCorrupted);
  EXPECT_EQ(error.messages[0].kind, BoxKind::Error);
  EXPECT_EQ(FileBytes(session.path()), cut);
}

TEST_F(LoginTest, EnsureLoginAsksOnlyWhenNeeded) {
  MakeAccount(folder, "alice", "a-pw", 0);
  MakeAccount(folder, "bob", "b-pw", 0);
  StorageLogin login;
  ScriptedLoginDialog dialog(folder, settings.get());

  // Nobody logged in: the dialog runs; cancelling it leaves nobody logged in.
  EXPECT_FALSE(EnsureStorageLogin(login, std::nullopt, settings.get(), dialog));
  EXPECT_EQ(dialog.runs, 1);

  dialog.attempts = {{"alice", "wrong"}, {"alice", "a-pw"}};
  EXPECT_TRUE(EnsureStorageLogin(login, std::nullopt, settings.get(), dialog));
  EXPECT_EQ(login.session()->account(), "alice");
  EXPECT_EQ(dialog.messages.ids(), std::vector<Msg>{Msg::LoginFailure});

  // Logged in: no name, or the same name, asks nothing.
  EXPECT_TRUE(EnsureStorageLogin(login, std::nullopt, settings.get(), dialog));
  EXPECT_TRUE(EnsureStorageLogin(login, std::string_view("alice"), settings.get(), dialog));
  EXPECT_EQ(dialog.runs, 2);

  // Another name: logged out, that name offered, asked again.
  dialog.attempts = {{"bob", "b-pw"}};
  EXPECT_TRUE(EnsureStorageLogin(login, std::string_view("bob"), settings.get(), dialog));
  EXPECT_EQ(dialog.runs, 3);
  EXPECT_EQ(dialog.offered.back(), "bob");
  EXPECT_EQ(login.session()->account(), "bob");

  // Another name and the dialog cancelled: nobody stays logged in.
  EXPECT_FALSE(EnsureStorageLogin(login, std::string_view("alice"), settings.get(), dialog));
  EXPECT_FALSE(login.LoggedIn());
  EXPECT_EQ(dialog.offered.back(), "alice");

  // RunLogin always logs out first.
  dialog.attempts = {{"alice", "a-pw"}};
  EXPECT_TRUE(RunLogin(login, dialog));
  EXPECT_FALSE(RunLogin(login, dialog));
  EXPECT_FALSE(login.LoggedIn());
}

TEST_F(LoginTest, ShowPasswordsSetting) {
  EXPECT_TRUE(ReadShowPasswords(settings.get(), true));  // missing: kept
  EXPECT_FALSE(ReadShowPasswords(settings.get(), false));
  WriteShowPasswords(settings.get(), true);
  EXPECT_TRUE(ReadShowPasswords(settings.get(), false));
  EXPECT_EQ(*settings->ReadDword(kShowPasswordsSetting), 1u);
  WriteShowPasswords(settings.get(), false);
  EXPECT_FALSE(ReadShowPasswords(settings.get(), true));
  EXPECT_FALSE(ReadShowPasswords(nullptr, false));
}

KeyIdBytes KeyId(std::uint8_t n) {
  KeyIdBytes id{};
  id.fill(n);
  return id;
}

TEST_F(LoginTest, SaveAndAssociateThenLookUp) {
  auto alice = MakeAccount(folder, "alice", "a-pw", 2);
  AssociationsFile associations = AssociationsFile::InFolder(NativeFileSystem(), dir.path());

  // A new password: stored with the key's owner, then associated.
  ASSERT_TRUE(SaveAndAssociate(alice, associations, KeyId(1), "Key Owner", "key password"));
  EXPECT_EQ(Owners(alice), (std::vector<std::string>{"owner1", "owner2", "Key Owner"}));
  // A password already stored: only associated.
  ASSERT_TRUE(SaveAndAssociate(alice, associations, KeyId(2), "Other", "pw2"));
  EXPECT_EQ(Owners(alice).size(), 3u);
  // The same again: nothing new anywhere.
  ASSERT_TRUE(SaveAndAssociate(alice, associations, KeyId(1), "Key Owner", "key password"));
  EXPECT_EQ(Owners(alice).size(), 3u);
  EXPECT_EQ(associations.ReadAll()->size(), 2u);
  const auto found = associations.Find(KeyId(1));
  ASSERT_TRUE(found && found->has_value());
  EXPECT_EQ((*found)->account, "alice");
  EXPECT_EQ((*found)->check, PasswordCheckValue("key password"));

  // A password the storage cannot keep: neither stored nor associated.
  const Bytes store_before = FileBytes(alice.path());
  const Bytes links_before = FileBytes(associations.path());
  EXPECT_EQ(SaveAndAssociate(alice, associations, KeyId(3), "Long", std::string(64, 'x')).code(),
            Errc::InvalidArgument);
  EXPECT_EQ(FileBytes(alice.path()), store_before);
  EXPECT_EQ(FileBytes(associations.path()), links_before);

  // Looking up: logs in to the named account when needed.
  MakeAccount(folder, "bob", "b-pw", 0);
  StorageLogin login;
  ScriptedLoginDialog dialog(folder, settings.get());
  dialog.attempts = {{"bob", "b-pw"}};
  ASSERT_TRUE(RunLogin(login, dialog));
  dialog.attempts = {{"alice", "a-pw"}};
  auto key = LookupProtectionKey(associations, KeyId(1), login, settings.get(), dialog);
  ASSERT_TRUE(key);
  EXPECT_TRUE(*key == PasswordToKey("key password"));
  EXPECT_EQ(login.session()->account(), "alice");
  EXPECT_EQ(dialog.offered.back(), "alice");
  EXPECT_EQ(dialog.runs, 2);
  // Already logged in to that account: no dialog.
  EXPECT_TRUE(LookupProtectionKey(associations, KeyId(2), login, settings.get(), dialog));
  EXPECT_EQ(dialog.runs, 2);
  // No association, or the stored password gone: nullopt, the caller prompts.
  EXPECT_FALSE(LookupProtectionKey(associations, KeyId(9), login, settings.get(), dialog));
  auto records = *login.session()->ReadRecords();
  ASSERT_TRUE(login.session()->Remove(records[2]));
  EXPECT_FALSE(LookupProtectionKey(associations, KeyId(1), login, settings.get(), dialog));
  // An association naming something that is no account file: no dialog.
  ASSERT_TRUE(associations.Add(KeyId(4), PasswordCheckValue("pw1"), "..\\alice"));
  EXPECT_FALSE(LookupProtectionKey(associations, KeyId(4), login, settings.get(), dialog));
  EXPECT_EQ(dialog.runs, 2);
  // Login refused: nullopt.
  login.Logout();
  EXPECT_FALSE(LookupProtectionKey(associations, KeyId(2), login, settings.get(), dialog));
}

TEST_F(LoginTest, SaveAndAssociateKeepsBothFilesWhenAWriteFails) {
  test::FaultyFileSystem faulty;
  const AccountFolder faulty_folder(faulty, dir.path());
  auto session = MakeAccount(faulty_folder, "alice", "pw", 1);
  AssociationsFile associations = AssociationsFile::InFolder(faulty, dir.path());
  ASSERT_TRUE(associations.Add(KeyId(7), PasswordCheckValue("pw1"), "alice"));
  const Bytes store_before = FileBytes(session.path());
  const Bytes links_before = FileBytes(associations.path());
  faulty.FailWrite(100);  // the storage write
  EXPECT_EQ(SaveAndAssociate(session, associations, KeyId(1), "Owner", "new").code(), Errc::Io);
  EXPECT_EQ(FileBytes(session.path()), store_before);
  EXPECT_EQ(FileBytes(associations.path()), links_before);
}

}  // namespace
}  // namespace qvx::storage
