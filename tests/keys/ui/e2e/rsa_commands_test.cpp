// The RSA commands end to end under Wine with notepad as the target: a key
// pair made with the wizard, its public key inserted into a text and read by
// a second program copy (another key folder), a text encrypted there to that
// key and decrypted back with the private key's password, signing and
// verifying (the covered text shown, a warning for a line after the block,
// and an edit that breaks the signature), the clipboard variants,
// and a pair carried to the other folder in a transport file.
#include <filesystem>

#include "engine/base64.h"
#include "engine/cryptotext_block.h"
#include "keys/messages.h"
#include "keys/public_key_block.h"
#include "tests/keys/ui/e2e/key_folder.h"

namespace qvx::e2e {
namespace {

constexpr const char* kShortCarolKey =
    "The key of \"Carol\" that made this signature is shorter than 2048 bits. Others with enough computing "
    "power may be able to forge its signatures.";

constexpr const char* kPrivateKeyPrompt = "Enter password to decrypt privat key data";
// The viewer that shows the text a good signature covers.
constexpr const char* kCoveredTextViewer = "Signed text as verified - Quorvix";
constexpr int kViewerText = 1000;
constexpr int kViewerPastBack = 1001;

class RsaCommands : public QuorvixTest {
 protected:
  void TearDown() override {
    if (HasFailure()) SaveScreenshot(nullptr, "at-failure");
    QuorvixTest::TearDown();
  }
  // A hot key (Alt+Shift and the key) pressed in notepad once the program
  // holds it and the keys of its last paste are up.
  static std::function<void()> HotKey(const Notepad& notepad, WORD key) {
    return [&notepad, key] {
      SettleModifiers();
      EXPECT_TRUE(notepad.Focus());
      notepad.PressHotKey(key);
    };
  }
  static std::function<void()> Command(const Quorvix& app, WPARAM id) {
    HWND main = app.main();
    return [main, id] { PostMessageA(main, WM_COMMAND, id, 0); };
  }

  static void ExpectBox(Quorvix& app, const std::string& text, const std::string& what,
                        int answer = IDOK) {
    ExpectQuorvixBox(app.pid(), text, what, answer);
  }

  // Runs the wizard of a started program up to a protected 1024-bit key.
  static void MakeKeyWithWizard(Quorvix& app, const std::string& owner, const std::string& note,
                                const std::string& password) {
    PostMessageA(app.main(), WM_COMMAND, 40049, 0);
    DialogDriver step1 = app.WaitForDialog("Quorvix Key Pair Generation - Step 1 of 4", "step1");
    ASSERT_TRUE(step1);
    step1.Click(IDOK);
    DialogDriver step2 = app.WaitForDialog("Quorvix Key Pair Generation - Step 2 of 4", "step2");
    ASSERT_TRUE(step2);
    step2.SetText(1002, owner);
    step2.Click(IDOK);
    DialogDriver step3 = app.WaitForDialog("Quorvix Key Pair Generation - Step 3 of 4", "step3");
    ASSERT_TRUE(step3);
    step3.SetText(1002, note);
    step3.Click(IDOK);
    DialogDriver step4 = app.WaitForDialog("Quorvix Key Pair Generation - Step 4 of 4", "step4");
    ASSERT_TRUE(step4);
    // Keeping the password in the password storage is tested with the storage.
    step4.SetChecked(1005, false);
    // A confirmation that differs keeps the page open.
    step4.SetText(1002, password);
    step4.Click(IDOK);
    ASSERT_TRUE(AnswerPassword(app, "Password", password + "x", "confirm-wrong"));
    ExpectBox(app, "Wrong confirmation!", "wrong-confirmation");
    step4.SetText(1002, password);
    step4.Click(IDOK);
    ASSERT_TRUE(AnswerPassword(app, "Password", password, "confirm"));
    ASSERT_TRUE(WaitGone(step4.hwnd()));
  }
};

TEST_F(RsaCommands, KeyFromTheWizardTravelsInTextAndOpensWhatIsEncryptedToIt) {
  KeyFolder alice;
  KeyFolder bob;
  const Notepad notepad = Notepad::Start();
  ASSERT_TRUE(notepad.ok());

  // Alice makes a protected pair and puts her public key into the text.
  {
    Quorvix app = alice.Start();
    MakeKeyWithWizard(app, "Alice", "home", "alice pw");
    ASSERT_TRUE(WaitUntil([&] { return alice.store().List().size() == 1; }, 30000));
    EXPECT_TRUE(alice.store().List()[0].header.IsProtected());
    PostMessageA(app.main(), WM_COMMAND, 40056, 0);
    DialogDriver manager = app.WaitForDialog("Key Manager", "manager");
    ASSERT_TRUE(manager);
    EXPECT_EQ(KeyRows(manager).at(0).at(0), "Alice");
    manager.Click(IDOK);
    ASSERT_TRUE(WaitGone(manager.hwnd()));

    notepad.SetText("Hello Bob, my key:");
    ASSERT_TRUE(SendTextCommand(app, HotKey(notepad, 'E'), DialogShows(app, "Key Selection")));
    ASSERT_TRUE(ChooseKey(app, 0, "insert-selection"));
    ASSERT_TRUE(WaitUntil([&] {
      return notepad.Text().find("--- End Of QVX Public Key Part---") != std::string::npos;
    }, 20000)) << notepad.Text();
    EXPECT_EQ(notepad.Text().rfind("Hello Bob, my key:\r\n--- Start Of QVX Public Key Part---\r\n", 0),
              0u);
    SaveScreenshot(notepad.window(), "notepad-key");
    EXPECT_EQ(app.Exit(), 1u);
  }

  // Bob reads it and encrypts a text to it.
  {
    Quorvix app = bob.Start();
    ASSERT_TRUE(SendTextCommand(app, HotKey(notepad, 'R'), BoxShows(app, "Operation is OK")));
    ExpectBox(app, "Operation is OK", "got-key");
    const auto others = bob.store().List(KeyKind::Other);
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(others[0].header.owner, "Alice");
    EXPECT_TRUE(bob.store().List(KeyKind::Mine).empty());

    notepad.SetText("Meet at the station at nine.");
    ASSERT_TRUE(SendTextCommand(app, HotKey(notepad, 'D'), DialogShows(app, "Key Selection")));
    DialogDriver selection = app.WaitForDialog("Key Selection", "recipient");
    ASSERT_TRUE(selection);
    // Other people's keys: nothing to generate here.
    EXPECT_FALSE(selection.Enabled(1001));
    const auto rows = KeyRows(selection);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][3], "Other key");
    // OK without a choice says so and keeps the dialog.
    selection.Click(IDOK);
    ExpectBox(app, "Select key first!", "select-first");
    ASSERT_TRUE(ChooseKey(app, 0, "recipient-again"));
    ASSERT_TRUE(WaitUntil([&] {
      return notepad.Text().find("--- End Of QVX ") != std::string::npos &&
             notepad.Text().find("Meet at") == std::string::npos;
    }, 20000)) << notepad.Text();
    SaveScreenshot(notepad.window(), "notepad-encrypted");
    EXPECT_EQ(app.Exit(), 1u);
  }

  // Alice opens it with her private key's password.
  {
    Quorvix app = alice.Start();
    ASSERT_TRUE(SendTextCommand(app, HotKey(notepad, 'D'), DialogShows(app, kPrivateKeyPrompt)));
    ASSERT_TRUE(AnswerPassword(app, kPrivateKeyPrompt, "alice pw", "private-key-password"));
    DialogDriver viewer = app.WaitForDialog("Quorvix", "viewer", 1000);
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(WaitUntil([&] { return viewer.Text(1000) == "Meet at the station at nine."; }, 10000))
        << viewer.Text(1000);
    viewer.Click(IDOK);
    ASSERT_TRUE(WaitGone(viewer.hwnd()));
    EXPECT_EQ(app.Exit(), 1u);
  }
}

// With the hardened format, the key choice takes several keys (check boxes,
// here ticked with the space bar) and "Also to me" (ticked by default): the
// block names every chosen key and the sender's own, and each of them opens it.
TEST_F(RsaCommands, HardenedBlockGoesToEveryCheckedKeyAndToTheSender) {
  KeyFolder me, bob, carol;
  me.MakeKey("Me");
  const GeneratedKey bob_key = bob.MakeKey("Bob");
  const GeneratedKey carol_key = carol.MakeKey("Carol");
  for (const GeneratedKey* key : {&bob_key, &carol_key}) {
    std::filesystem::copy_file(key->public_path,
                               me.path() + "\\public\\" +
                                   std::filesystem::path(key->public_path).filename().string());
  }
  ASSERT_TRUE(settings::WriteDword("CryptoTextFormat", 2));
  const Notepad notepad = Notepad::Start();
  ASSERT_TRUE(notepad.ok());
  notepad.SetText("To Bob and Carol.");
  std::string block;
  {
    Quorvix app = me.Start();
    ASSERT_TRUE(SendTextCommand(app, HotKey(notepad, 'D'), DialogShows(app, "Key Selection")));
    DialogDriver selection = app.WaitForDialog("Key Selection", "recipients");
    ASSERT_TRUE(selection);
    EXPECT_TRUE(selection.Checked(1450)) << "Also to me is ticked by default";
    ASSERT_EQ(KeyRows(selection).size(), 2u);
    ASSERT_NO_FATAL_FAILURE(TickKeyRow(selection, 0));
    ASSERT_NO_FATAL_FAILURE(TickKeyRow(selection, 1));
    ASSERT_TRUE(KeyRowTicked(selection, 0)) << "the second tick took the first away";
    selection.Click(IDOK);
    ASSERT_TRUE(WaitGone(selection.hwnd()));
    ASSERT_TRUE(WaitUntil([&] {
      return notepad.Text().find("--- End Of QVX Crypto-Text 2 ---") != std::string::npos;
    }, 30000)) << notepad.Text();
    block = notepad.Text();
    EXPECT_EQ(app.Exit(), 1u);
  }
  auto span = FindNextBlock(block, 0);
  ASSERT_TRUE(span);
  auto bytes = Base64Decode(*ReadBlockBody(block, *span));
  ASSERT_TRUE(bytes);
  auto parsed = ParseHardenedHeader(bytes->data(), bytes->size());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->header.recipients.size(), 3u) << "Bob, Carol and the sender";

  // Carol opens it in her own folder.
  Quorvix app = carol.Start();
  ASSERT_TRUE(SendTextCommand(app, HotKey(notepad, 'D'), DialogShows(app, "Quorvix")));
  DialogDriver viewer = app.WaitForDialog("Quorvix", "viewer", 1000);
  ASSERT_TRUE(viewer);
  EXPECT_TRUE(WaitUntil([&] { return viewer.Text(1000) == "To Bob and Carol."; }, 10000)) << viewer.Text(1000);
  viewer.Click(IDOK);
  ASSERT_TRUE(WaitGone(viewer.hwnd()));
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(RsaCommands, SignAndVerifyWindowTextAndAnEditBreaksTheSignature) {
  KeyFolder folder;
  folder.MakeKey("Carol", "office key", std::string("carol pw"));
  ASSERT_TRUE(settings::WriteDword("ShowText", 1));
  const Notepad notepad = Notepad::Start();
  ASSERT_TRUE(notepad.ok());
  Quorvix app = folder.Start();

  const std::string text = "I agree to pay 100 coins.";
  notepad.SetText(text);
  // "ShowText": the text is shown before it is signed.
  ASSERT_TRUE(SendTextCommand(app, HotKey(notepad, 'Q'), DialogShows(app, "Original Text-Quorvix")));
  DialogDriver original = app.WaitForDialog("Original Text-Quorvix", "original");
  ASSERT_TRUE(original);
  EXPECT_TRUE(WaitUntil([&] { return original.Text(1000) == text; }, 5000));
  original.Click(IDOK);
  ASSERT_TRUE(ChooseKey(app, 0, "signer"));
  ASSERT_TRUE(AnswerPassword(app, kPrivateKeyPrompt, "carol pw", "private-key-password"));
  ASSERT_TRUE(WaitUntil([&] {
    return notepad.Text().find("--- End Of QVX Signature Part---") != std::string::npos;
  }, 20000)) << notepad.Text();
  const std::string signed_text = notepad.Text();
  EXPECT_EQ(signed_text.rfind(text + "\r\n--- Start Of QVX Signature Part---\r\n", 0), 0u);
  SaveScreenshot(notepad.window(), "notepad-signed");

  ASSERT_TRUE(
      SendTextCommand(app, HotKey(notepad, 'W'), DialogShows(app, "Verification Successful")));
  DialogDriver verified = app.WaitForDialog("Verification Successful", "verified");
  ASSERT_TRUE(verified);
  EXPECT_EQ(verified.Text(1022), "Key owner: Carol");
  EXPECT_EQ(verified.Text(1026), "Key note: office key");
  verified.Click(IDOK);
  ASSERT_TRUE(WaitGone(verified.hwnd()));
  // Carol's key has 1024 bits: the warning follows the signer.
  ExpectBox(app, kShortCarolKey, "short-key-warning");
  // Then the text the signature covers, in a viewer that pastes nothing back.
  DialogDriver covered = app.WaitForDialog(kCoveredTextViewer, "covered", kViewerText);
  ASSERT_TRUE(covered);
  EXPECT_EQ(covered.Text(kViewerText), text);
  EXPECT_FALSE(covered.Enabled(kViewerPastBack));
  EXPECT_FALSE(FindMessageBox(app.pid()));
  covered.Click(IDOK);
  ASSERT_TRUE(WaitGone(covered.hwnd()));
  // Verifying changes nothing in the window.
  EXPECT_EQ(notepad.Text(), signed_text);

  // A line added after the block: still good, but a warning says that it is
  // not covered, and the viewer shows only the signed text.
  notepad.SetText(signed_text + "\r\nP.S. Make it 200 coins.");
  ASSERT_TRUE(SendTextCommand(app, HotKey(notepad, 'W'), DialogShows(app, "Verification Successful")));
  verified = app.WaitForDialog("Verification Successful", "verified-trailing-text");
  ASSERT_TRUE(verified);
  verified.Click(IDOK);
  ASSERT_TRUE(WaitGone(verified.hwnd()));
  const MessageBoxInfo warning = WaitForMessageBox(app.pid(), "trailing-text-warning");
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning.text, qvx::MessageText(Msg::TextFollowsSignature));
  EXPECT_TRUE(AnswerMessageBox(warning));
  ExpectBox(app, kShortCarolKey, "short-key-warning-trailing-text");
  covered = app.WaitForDialog(kCoveredTextViewer, "covered-trailing-text", kViewerText);
  ASSERT_TRUE(covered);
  EXPECT_EQ(covered.Text(kViewerText), text);
  SaveScreenshot(nullptr, "verified-with-trailing-text");
  covered.Click(IDOK);
  ASSERT_TRUE(WaitGone(covered.hwnd()));
  EXPECT_EQ(notepad.Text(), signed_text + "\r\nP.S. Make it 200 coins.");

  // One character changed in the signed text.
  std::string edited = signed_text;
  edited[15] = '9';
  notepad.SetText(edited);
  ASSERT_TRUE(SendTextCommand(app, HotKey(notepad, 'W'), BoxShows(app, "Verification is FAILED")));
  ExpectBox(app, "Verification is FAILED", "verification-failed");

  // The clipboard variant of verify, with the unchanged text. Like the
  // clipboard hot key, the command first copies what is selected in the
  // window in front: that is notepad, with the changed text still selected
  // from the last command, and its copy would replace the text put on the
  // clipboard here. Nothing is selected there now.
  notepad.Select(0, 0);
  ASSERT_TRUE(clipboard::WriteText(signed_text));
  ASSERT_TRUE(
      SendTextCommand(app, Command(app, 40075), DialogShows(app, "Verification Successful")));
  verified = app.WaitForDialog("Verification Successful", "verified-clipboard");
  ASSERT_TRUE(verified);
  verified.Click(IDOK);
  ASSERT_TRUE(WaitGone(verified.hwnd()));
  ExpectBox(app, kShortCarolKey, "short-key-warning-clipboard");
  covered = app.WaitForDialog(kCoveredTextViewer, "covered-clipboard", kViewerText);
  ASSERT_TRUE(covered);
  EXPECT_EQ(covered.Text(kViewerText), text);
  covered.Click(IDOK);
  ASSERT_TRUE(WaitGone(covered.hwnd()));

  // "Wrong text" stops signing; nothing changes.
  notepad.SetText(text);
  ASSERT_TRUE(SendTextCommand(app, HotKey(notepad, 'Q'), DialogShows(app, "Original Text-Quorvix")));
  original = app.WaitForDialog("Original Text-Quorvix", "original-again");
  ASSERT_TRUE(original);
  original.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(original.hwnd()));
  Sleep(500);
  WindowMatch selection;
  selection.pid = app.pid();
  selection.title = "Key Selection";
  EXPECT_EQ(FindTopLevel(selection), nullptr);
  EXPECT_EQ(notepad.Text(), text);
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(RsaCommands, ClipboardVariantsOfInsertAndGet) {
  KeyFolder mine;
  const GeneratedKey dan = mine.MakeKey("Dan");
  KeyFolder theirs;
  {
    Quorvix app = mine.Start();
    ASSERT_TRUE(clipboard::WriteText("whatever was on the clipboard"));
    ASSERT_TRUE(SendTextCommand(app, Command(app, 40076), DialogShows(app, "Key Selection")));
    // Cancel: nothing is inserted.
    DialogDriver selection = app.WaitForDialog("Key Selection", "selection");
    ASSERT_TRUE(selection);
    EXPECT_TRUE(selection.Enabled(1001));
    selection.Click(IDCANCEL);
    ASSERT_TRUE(WaitGone(selection.hwnd()));
    ASSERT_TRUE(SendTextCommand(app, Command(app, 40076), DialogShows(app, "Key Selection")));
    ASSERT_TRUE(ChooseKey(app, 0, "selection-again"));
    const std::string block = MakePublicKeyBlockFromFile(mine.store(), dan.public_path).value();
    // The clipboard held only the key block afterwards.
    EXPECT_TRUE(WaitUntil([&] { return clipboard::ReadText() == block; }, 10000))
        << clipboard::ReadText().value_or("(no text)") << "\n---\n" << block;
    EXPECT_EQ(app.Exit(), 1u);
  }
  {
    Quorvix app = theirs.Start();
    const auto block = clipboard::ReadText();
    ASSERT_TRUE(clipboard::Clear());
    // An empty clipboard: nothing happens and nothing is said.
    PostMessageA(app.main(), WM_COMMAND, 40077, 0);
    Sleep(1500);
    EXPECT_FALSE(FindMessageBox(app.pid()));
    ASSERT_TRUE(block);
    ASSERT_TRUE(clipboard::WriteText("Key follows: " + *block));
    ASSERT_TRUE(SendTextCommand(app, Command(app, 40077), BoxShows(app, "Operation is OK")));
    ExpectBox(app, "Operation is OK", "got-key");
    ASSERT_EQ(theirs.store().List(KeyKind::Other).size(), 1u);
    // The same key again: the question before replacing it.
    ASSERT_TRUE(SendTextCommand(app, Command(app, 40077),
                                BoxShows(app, "This public key is exists. Overwrite it?")));
    ExpectBox(app, "This public key is exists. Overwrite it?", "overwrite", IDCANCEL);
    ExpectBox(app, "Operation is OK", "kept");
    EXPECT_EQ(app.Exit(), 1u);
  }
}

TEST_F(RsaCommands, BothKeysCarriedInATransportFile) {
  KeyFolder home;
  const GeneratedKey erin = home.MakeKey("Erin", "both computers", std::string("key pw"));
  KeyFolder work;
  const std::string transport = home.path() + "\\erin.qvxt";
  {
    Quorvix app = home.Start();
    PostMessageA(app.main(), WM_COMMAND, 40056, 0);
    DialogDriver manager = app.WaitForDialog("Key Manager", "manager");
    ASSERT_TRUE(manager);
    SelectKeyRow(manager, 0);
    manager.Click(1004);
    DialogDriver choice = app.WaitForDialog("Dialog", "export-choice", 1020);
    ASSERT_TRUE(choice);
    EXPECT_TRUE(choice.Checked(1019));
    choice.Click(1020);
    const MessageBoxInfo warning = WaitForMessageBox(app.pid(), "export-warning");
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning.text.rfind("This feature needs you only in the case if you need to syncronize "
                                 "both of yours RSA keys (privat and public) between your computers",
                                 0),
              0u);
    AnswerMessageBox(warning);
    EXPECT_TRUE(choice.Checked(1020));
    choice.Click(IDOK);
    ASSERT_TRUE(AnswerFileDialog(app, "Save As", transport));
    DialogDriver prompt = app.WaitForDialog("Enter Encryption Password", "transport-password", 1002);
    ASSERT_TRUE(prompt);
    prompt.SetText(1002, "carry");
    prompt.Click(IDOK);
    ASSERT_TRUE(AnswerPassword(app, "Password", "carry", "transport-confirm"));
    ASSERT_TRUE(WaitUntil([&] { return NativeFileSystem().FileExists(transport); }, 10000));
    manager.Click(IDOK);
    EXPECT_EQ(app.Exit(), 1u);
  }
  {
    Quorvix app = work.Start();
    PostMessageA(app.main(), WM_COMMAND, 40056, 0);
    DialogDriver manager = app.WaitForDialog("Key Manager", "manager-work");
    ASSERT_TRUE(manager);
    // A wrong transport password: the public key comes in, the private key not.
    manager.Click(1032);
    ASSERT_TRUE(AnswerFileDialog(app, "Open", transport));
    ASSERT_TRUE(AnswerPassword(app, "Enter Decryption Password", "wrong", "wrong-password"));
    ExpectBox(app, "Wrong password or bad data!", "wrong-transport-password");
    ASSERT_TRUE(WaitUntil([&] { return work.store().List(KeyKind::Other).size() == 1; }, 5000));
    EXPECT_TRUE(KeyRows(manager).empty());

    manager.Click(1032);
    ASSERT_TRUE(AnswerFileDialog(app, "Open", transport));
    ASSERT_TRUE(AnswerPassword(app, "Enter Decryption Password", "carry", "transport-password"));
    EXPECT_TRUE(WaitUntil([&] {
      const auto rows = KeyRows(manager);
      return rows.size() == 1 && rows[0][0] == "Erin" && rows[0][3] == "My key";
    }, 10000));
    SaveScreenshot(manager.hwnd(), "imported-pair");
    manager.Click(IDOK);
    EXPECT_EQ(app.Exit(), 1u);
  }
  // Byte for byte the same files, the private key still under its own password.
  const auto pair = work.store().List(KeyKind::Mine);
  ASSERT_EQ(pair.size(), 1u);
  EXPECT_EQ(NativeFileSystem().ReadFile(pair[0].private_path).value(),
            NativeFileSystem().ReadFile(erin.private_path).value());
  FixedProtectionKey key("key pw");
  EXPECT_TRUE(work.store().LoadPrivateKey(pair[0].private_path, key));
}

}  // namespace
}  // namespace qvx::e2e
