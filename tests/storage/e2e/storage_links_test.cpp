// The password storage where passwords are asked for, end to end under Wine:
// "From storage" in the decryption and encryption prompts, and a private
// key's password saved with an association and found again without a prompt.
#include <cstdio>

#include "engine/cryptotext.h"
#include "engine/password_key.h"
#include "keys/generate.h"
#include "keys/key_store.h"
#include "keys/key_store_envelopes.h"
#include "tests/storage/e2e/storage_e2e.h"
#include "tests/support/scripted_passwords.h"

namespace qvx::e2e {
namespace {

using namespace storage_ui;

constexpr const char* kDecryptTitle = "Enter Decryption Password";
constexpr const char* kEncryptTitle = "Enter Encryption Password";
constexpr const char* kPrivateKeyTitle = "Enter password to decrypt privat key data";
constexpr const char* kViewerTitle = "Quorvix";
constexpr int kPromptEdit = 1002, kPromptFromStorage = 1001, kPromptBox = 1005;
constexpr int kViewerText = 1000;
constexpr UINT kCryptClipboard = 40071;

std::string EncryptWithPassword(const std::string& text, const std::string& password) {
  auto prompt = test::ScriptedPasswords::Always(password);
  CryptoTextOperation engine(prompt);
  auto block = engine.EncryptText(text);
  EXPECT_TRUE(block) << block.error().detail;
  return block ? *block : std::string();
}

std::string DecryptWithPassword(const std::string& block, const std::string& password) {
  auto prompt = test::ScriptedPasswords::Always(password);
  CryptoTextOperation engine(prompt);
  auto text = engine.DecryptAllBlocks(block);
  EXPECT_TRUE(text) << text.error().detail;
  return text ? std::string(text->text.view()) : std::string();
}

// A block for the public key of a pair beside the program.
std::string EncryptToKey(const KeyStore& store, const GeneratedKey& key, const std::string& text) {
  test::ScriptedPasswords none;
  FixedProtectionKey no_key;
  KeyStoreEnvelopes envelopes(store, [&] { return std::optional<std::string>(key.public_path); },
                              no_key);
  CryptoTextOperation engine(none, nullptr, &envelopes);
  auto block = engine.EncryptText(text, EnvelopeMode::Rsa);
  EXPECT_TRUE(block) << block.error().detail;
  return block ? *block : std::string();
}

std::size_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return data.nFileSizeLow;
}

class StorageLinks : public QuorvixTest {
 protected:
  void StartApp() {
    app_ = program_.Launch();
    ASSERT_NE(app_.WaitMainWindow(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return app_.TrayIconPresent(); }));
  }
  // "Encrypt/Decrypt from clipboard" with a text on the clipboard.
  void CryptClipboard(const std::string& text) {
    ASSERT_TRUE(clipboard::WriteText(text));
    PostMessageA(app_.main(), WM_COMMAND, kCryptClipboard, 0);
  }
  // The viewer's text, and the viewer closed.
  std::string ViewerText(const std::string& what) {
    DialogDriver viewer = app_.WaitForDialog(kViewerTitle, what, kViewerText);
    EXPECT_TRUE(viewer) << what;
    if (!viewer) return {};
    std::string text;
    WaitUntil([&] { return !(text = viewer.Text(kViewerText)).empty(); }, 5000);
    PostMessageA(viewer.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitGone(viewer.hwnd()));
    return text;
  }
  bool Shows(const char* title) { return FindTopLevel({app_.pid(), "#32770", title}) != nullptr; }

  ProgramCopy program_;
  Quorvix app_;
};

TEST_F(StorageLinks, FromStorageInTheDecryptionPromptDecryptsWithoutTyping) {
  MakeAccount(program_, "alice", "secret", 1);
  AddRecord(program_, "alice", "secret", "mail", "block password", "");
  ASSERT_TRUE(settings::WriteDword("IsSimmetrick", 1));
  const std::string block = EncryptWithPassword("Meet me at noon.", "block password");
  StartApp();

  CryptClipboard(block);
  DialogDriver prompt = app_.WaitForDialog(kDecryptTitle, "decrypt-prompt", kPromptEdit);
  ASSERT_TRUE(prompt);
  ASSERT_TRUE(prompt.Enabled(kPromptFromStorage));
  prompt.Click(kPromptFromStorage);
  // Nobody is logged in: the login comes first, over the prompt.
  DialogDriver login = app_.WaitForDialog(kLoginTitle, "login-over-prompt", kLoginPassword);
  ASSERT_TRUE(login);
  EXPECT_FALSE(prompt.Enabled(IDOK) && IsWindowEnabled(prompt.hwnd()));
  SubmitLogin(login, "alice", "secret");
  ASSERT_TRUE(WaitGone(login.hwnd()));
  DialogDriver chooser = app_.WaitForDialog(kStorageTitle, "chooser", kList);
  ASSERT_TRUE(chooser);
  WaitUntil([&] { return StorageOwners(chooser).size() == 2; });
  // OK without a row: the chooser says so and stays.
  chooser.Click(IDOK);
  ExpectQuorvixBox(app_.pid(), "Select item first!", "select-first");
  ASSERT_TRUE(ClickRow(chooser, 1));
  chooser.Click(IDOK);
  ASSERT_TRUE(WaitGone(chooser.hwnd()));
  ASSERT_TRUE(WaitGone(prompt.hwnd()));
  EXPECT_EQ(ViewerText("decrypted"), "Meet me at noon.");

  // Still logged in: the encryption prompt's "From storage" goes straight to
  // the chooser, a double click chooses, and no confirmation is asked.
  CryptClipboard("A new secret text.");
  prompt = app_.WaitForDialog(kEncryptTitle, "encrypt-prompt", kPromptEdit);
  ASSERT_TRUE(prompt);
  prompt.Click(kPromptFromStorage);
  chooser = app_.WaitForDialog(kStorageTitle, "chooser-encrypt", kList);
  ASSERT_TRUE(chooser);
  WaitUntil([&] { return StorageOwners(chooser).size() == 2; });
  BringToForeground(chooser.hwnd());
  DoubleClickAt(CellCenter(chooser.Control(kList), 1, 0));
  ASSERT_TRUE(WaitGone(chooser.hwnd()));
  ASSERT_TRUE(WaitGone(prompt.hwnd()));
  EXPECT_FALSE(Shows("Password"));
  const std::string encrypted = ViewerText("encrypted");
  ASSERT_NE(encrypted.find("Start Of QVX"), std::string::npos) << encrypted;
  EXPECT_EQ(DecryptWithPassword(encrypted, "block password"), "A new secret text.");
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(StorageLinks, KeyPasswordSavedWithAnAssociationUnlocksTheKeyWithoutAPrompt) {
  MakeAccount(program_, "alice", "secret", 1);
  const KeyStore store(program_.folder());
  const Key256 protection = PasswordToKey("key password");
  auto key = GenerateKeyPair(store, 1024, "Bob", "test key", &protection);
  ASSERT_TRUE(key) << key.error().detail;
  const std::string block = EncryptToKey(store, *key, "For Bob only.");
  const std::string associations = program_.File("associations.qvxc");
  StartApp();

  // First use: the private-key prompt, its box to keep the password ticked.
  CryptClipboard(block);
  DialogDriver prompt = app_.WaitForDialog(kPrivateKeyTitle, "private-key-prompt", kPromptEdit);
  ASSERT_TRUE(prompt);
  EXPECT_TRUE(prompt.Checked(kPromptBox));
  EXPECT_EQ(prompt.Text(kPromptBox), "Save this password and associate it with this key");
  prompt.SetText(kPromptEdit, "key password");
  prompt.Click(IDOK);
  // Keeping it needs the storage: log in.
  DialogDriver login = app_.WaitForDialog(kLoginTitle, "login-to-save", kLoginPassword);
  ASSERT_TRUE(login);
  SubmitLogin(login, "alice", "secret");
  ASSERT_TRUE(WaitGone(login.hwnd()));
  EXPECT_EQ(ViewerText("decrypted-first"), "For Bob only.");
  EXPECT_EQ(FileSize(associations), 212u);
  EXPECT_EQ(AccountOwners(program_, "alice", "secret"),
            (std::vector<std::string>{"owner1", "Bob"}));

  // Second use: the association gives the password, nothing is asked.
  CryptClipboard(block);
  EXPECT_EQ(ViewerText("decrypted-again"), "For Bob only.");
  EXPECT_FALSE(Shows(kPrivateKeyTitle));
  EXPECT_FALSE(Shows(kLoginTitle));
  EXPECT_EQ(FileSize(associations), 212u);
  EXPECT_EQ(app_.Exit(), 1u);

  // After a restart nobody is logged in: the association's account is
  // offered at the login, and then the key opens without its password.
  StartApp();
  CryptClipboard(block);
  login = app_.WaitForDialog(kLoginTitle, "login-for-association", kLoginPassword);
  ASSERT_TRUE(login);
  EXPECT_EQ(login.Text(kLoginName), "alice");
  login.SetText(kLoginPassword, "secret");
  login.Click(IDOK);
  ASSERT_TRUE(WaitGone(login.hwnd()));
  EXPECT_EQ(ViewerText("decrypted-after-restart"), "For Bob only.");
  EXPECT_FALSE(Shows(kPrivateKeyTitle));

  // Cancelling that login falls back to the prompt.
  EXPECT_EQ(app_.Exit(), 1u);
  StartApp();
  CryptClipboard(block);
  login = app_.WaitForDialog(kLoginTitle, "login-cancelled", kLoginPassword);
  ASSERT_TRUE(login);
  login.Click(IDCANCEL);
  prompt = app_.WaitForDialog(kPrivateKeyTitle, "prompt-after-cancel", kPromptEdit);
  ASSERT_TRUE(prompt);
  prompt.SetChecked(kPromptBox, false);
  prompt.SetText(kPromptEdit, "key password");
  prompt.Click(IDOK);
  EXPECT_EQ(ViewerText("decrypted-typed"), "For Bob only.");
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(StorageLinks, WizardKeepsTheNewKeysPasswordAndTheKeyOpensWithoutAPrompt) {
  MakeAccount(program_, "alice", "secret", 0);
  const KeyStore store(program_.folder());
  StartApp();
  PostMessageA(app_.main(), WM_COMMAND, 40049, 0);
  const std::string title = "Quorvix Key Pair Generation - Step ";
  DialogDriver page = app_.WaitForDialog(title + "1 of 4", "wizard-1");
  ASSERT_TRUE(page);
  page.Click(IDOK);
  page = app_.WaitForDialog(title + "2 of 4", "wizard-2", 1002);
  ASSERT_TRUE(page);
  page.SetText(1002, "Dave");
  page.Click(IDOK);
  page = app_.WaitForDialog(title + "3 of 4", "wizard-3", 1002);
  ASSERT_TRUE(page);
  page.Click(IDOK);
  page = app_.WaitForDialog(title + "4 of 4", "wizard-4", 1002);
  ASSERT_TRUE(page);
  EXPECT_TRUE(page.Enabled(1001));  // "From storage..."
  EXPECT_TRUE(page.Checked(1005));  // keep the password in the storage
  page.SetText(1002, "dave pw");
  page.Click(IDOK);
  DialogDriver confirm = app_.WaitForDialog("Password", "wizard-confirm", 1002);
  ASSERT_TRUE(confirm);
  confirm.SetText(1002, "dave pw");
  confirm.Click(IDOK);
  // Keeping the password needs the storage: log in.
  DialogDriver login = app_.WaitForDialog(kLoginTitle, "login-for-new-key", kLoginPassword, 120000);
  ASSERT_TRUE(login);
  SubmitLogin(login, "alice", "secret");
  ASSERT_TRUE(WaitGone(login.hwnd()));
  const std::string associations = program_.File("associations.qvxc");
  ASSERT_TRUE(WaitUntil([&] { return FileSize(associations) == 212u; }));
  EXPECT_EQ(AccountOwners(program_, "alice", "secret"), std::vector<std::string>{"Dave"});
  const auto mine = store.List(KeyKind::Mine);
  ASSERT_EQ(mine.size(), 1u);
  ASSERT_TRUE(mine[0].header.IsProtected());

  // The private key opens through the association: no prompt.
  GeneratedKey dave{mine[0].header, mine[0].public_path, mine[0].private_path};
  CryptClipboard(EncryptToKey(store, dave, "For Dave only."));
  EXPECT_EQ(ViewerText("decrypted"), "For Dave only.");
  EXPECT_FALSE(Shows(kPrivateKeyTitle));
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(StorageLinks, KeyManagerListHasFindAndBalloons) {
  const KeyStore store(program_.folder());
  const std::string long_note =
      "The key for the project mails of the whole team, kept on this computer only since spring";
  for (const auto& [owner, note] : std::vector<std::pair<std::string, std::string>>{
           {"Alice", "short"}, {"Bob", long_note}, {"Bobby", "x"}}) {
    ASSERT_TRUE(GenerateKeyPair(store, 1024, owner, note, nullptr));
  }
  StartApp();
  PostMessageA(app_.main(), WM_COMMAND, 40056, 0);
  DialogDriver manager = app_.WaitForDialog("Key Manager", "key-manager", kList);
  ASSERT_TRUE(manager);
  HWND list = manager.Control(kList);
  ASSERT_TRUE(WaitUntil([&] { return ReadListView(list).size() == 3; }));
  auto owners = [&] {
    std::vector<std::string> o;
    for (const auto& row : ReadListView(list)) o.push_back(row.at(1));
    return o;
  };
  auto selected_owner = [&] {
    for (const auto& row : ReadListView(list)) {
      if (row.at(0) == "S") return row.at(1);
    }
    return std::string();
  };

  ASSERT_TRUE(manager.Enabled(kFind));
  manager.Click(kFind);
  DialogDriver find = app_.WaitForDialog("Find", "key-find", kFindText);
  ASSERT_TRUE(find);
  find.SetText(kFindText, "BOB");
  std::vector<std::string> found;
  for (int i = 0; i < 2; ++i) {
    find.Click(IDOK);
    ASSERT_TRUE(WaitUntil([&] {
      const std::string o = selected_owner();
      return !o.empty() && (found.empty() || o != found.back());
    })) << i;
    found.push_back(selected_owner());
  }
  std::vector<std::string> expected;
  for (const std::string& o : owners()) {
    if (o != "Alice") expected.push_back(o);
  }
  EXPECT_EQ(found, expected);
  find.Click(IDOK);
  ExpectQuorvixBox(app_.pid(), "Cannot find string \\\"BOB\\\"", "key-not-found");
  find.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(find.hwnd()));

  // The long note shows whole in a balloon.
  int bob = -1;
  const auto names = owners();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == "Bob") bob = static_cast<int>(i);
  }
  ASSERT_GE(bob, 0);
  BringToForeground(manager.hwnd());
  MoveMouseTo(CellCenter(list, bob, 4));
  WindowMatch balloon;
  balloon.pid = app_.pid();
  balloon.class_name = "BALLOON";
  HWND shown = WaitForSteadyTopLevel(balloon, 5000);
  ASSERT_NE(shown, nullptr);
  SaveScreenshot(nullptr, "key-balloon");
  PostMessageA(manager.hwnd(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(manager.hwnd()));
  EXPECT_FALSE(IsWindow(shown) && IsWindowVisible(shown));
  EXPECT_EQ(app_.Exit(), 1u);
}

}  // namespace
}  // namespace qvx::e2e
