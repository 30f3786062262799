// The key dialogs end to end under Wine: the key pair wizard and its busy
// window, the key manager (lists, sorting, note, delete, import), the key
// file given on the command line. Each test runs a copy of Quorvix.exe in a
// folder of its own, so it starts with an empty key store.
#include "keys/key_identity.h"
#include "keys/messages.h"
#include "keys/transport.h"
#include "platform/files.h"
#include "storage/associations.h"
#include "tests/keys/ui/e2e/key_folder.h"

namespace qvx::e2e {
namespace {

constexpr int kWizardBack = 1001;
constexpr int kWizardText = 1002;
constexpr int kWizardSlider = 1018;
constexpr int kWizardFromStorage = 1001;
constexpr int kWizardBack4 = 1004;
constexpr int kWizardSave = 1005;
constexpr int kMyKeys = 1020;
constexpr int kOtherKeys = 1019;
constexpr int kEditNote = 1027;
constexpr int kManagerDelete = 1001;
constexpr int kImport = 1032;
constexpr int kExport = 1004;
constexpr int kFind = 1028;
constexpr int kNoteText = 1002;
constexpr int kProperties = 1042;

constexpr const char* kStep1 = "Quorvix Key Pair Generation - Step 1 of 4";
constexpr const char* kStep2 = "Quorvix Key Pair Generation - Step 2 of 4";
constexpr const char* kStep3 = "Quorvix Key Pair Generation - Step 3 of 4";
constexpr const char* kStep4 = "Quorvix Key Pair Generation - Step 4 of 4";

class KeyDialogs : public QuorvixTest {
 protected:
  static void Command(const Quorvix& app, WPARAM id) { PostMessageA(app.main(), WM_COMMAND, id, 0); }

  // Expects an error box with that text and answers it.
  static void ExpectBox(Quorvix& app, const std::string& text, const std::string& what,
                        int answer = IDOK) {
    ExpectQuorvixBox(app.pid(), text, what, answer);
  }

  static DialogDriver OpenManager(Quorvix& app, const std::string& what) {
    Command(app, 40056);
    return app.WaitForDialog("Key Manager", what);
  }
};

TEST_F(KeyDialogs, WizardMakesAKeyPairThatTheManagerLists) {
  KeyFolder folder;
  Quorvix app = folder.Start();
  Command(app, 40049);

  DialogDriver step1 = app.WaitForDialog(kStep1, "step1");
  ASSERT_TRUE(step1);
  EXPECT_FALSE(step1.Enabled(kWizardBack));
  EXPECT_EQ(step1.Text(kWizardText), "1024");
  EXPECT_EQ(step1.Text(IDCANCEL), "Cancel");
  // The slider moves in steps of 8 between 1024 and 2048.
  ASSERT_TRUE(BringToForeground(step1.hwnd()));
  // The dialog gives the slider the focus as it becomes active, which may
  // come a moment after it is in front.
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(step1.hwnd()) == step1.Control(kWizardSlider); }, 5000))
      << FocusOf(step1.hwnd());
  for (const auto& [key, shown] : std::vector<std::pair<WORD, std::string>>{
           {VK_END, "2048"}, {VK_HOME, "1024"}, {VK_RIGHT, "1032"}, {VK_RIGHT, "1040"},
           {VK_LEFT, "1032"}, {VK_END, "2048"}}) {
    PressKey(key);
    EXPECT_TRUE(WaitUntil([&] { return step1.Text(kWizardText) == shown; }, 5000))
        << shown << " shows " << step1.Text(kWizardText);
  }
  SaveScreenshot(step1.hwnd(), "step1-2048");
  step1.Click(IDOK);

  DialogDriver step2 = app.WaitForDialog(kStep2, "step2");
  ASSERT_TRUE(step2);
  step2.Click(IDOK);
  ExpectBox(app, "Enter key owner name!", "owner-missing");
  step2.SetText(kWizardText, "Alice/Work");
  step2.Click(IDOK);
  ExpectBox(app,
            "The owner name becomes part of the key file names: please avoid \\ / : * ? \" < > "
            "|, control characters and \"..\".",
            "owner-invalid");
  step2.SetText(kWizardText, "Alice");
  step2.Click(IDOK);

  DialogDriver step3 = app.WaitForDialog(kStep3, "step3");
  ASSERT_TRUE(step3);
  // Back keeps what was typed.
  step3.Click(kWizardBack);
  step2 = app.WaitForDialog(kStep2, "step2-again");
  ASSERT_TRUE(step2);
  EXPECT_EQ(step2.Text(kWizardText), "Alice");
  step2.Click(kWizardBack);
  step1 = app.WaitForDialog(kStep1, "step1-again");
  ASSERT_TRUE(step1);
  EXPECT_EQ(step1.Text(kWizardText), "2048");
  step1.Click(IDOK);
  step2 = app.WaitForDialog(kStep2, "step2-third");
  ASSERT_TRUE(step2);
  step2.Click(IDOK);
  step3 = app.WaitForDialog(kStep3, "step3-again");
  ASSERT_TRUE(step3);
  step3.SetText(kWizardText, "Work & home");
  step3.Click(IDOK);

  DialogDriver step4 = app.WaitForDialog(kStep4, "step4");
  ASSERT_TRUE(step4);
  EXPECT_TRUE(step4.Exists(kWizardBack4));
  EXPECT_EQ(step4.Text(kWizardSave),
            "Save this password into the password storage and associate key with this password");
  // The password storage is there to take a password from or keep it in.
  EXPECT_TRUE(step4.Enabled(kWizardFromStorage));
  EXPECT_TRUE(step4.Enabled(kWizardSave));
  step4.Click(IDOK);

  // 2048 bits take long enough to see the busy window.
  WindowMatch busy;
  busy.pid = app.pid();
  busy.title = "Creating Key Pair.....";
  if (HWND window = WaitForTopLevel(busy, 10000)) {
    SaveScreenshot(window, "busy");
    EXPECT_TRUE(WaitGone(window, 60000));
  }
  ASSERT_TRUE(WaitUntil([&] { return folder.store().List().size() == 1; }, 60000));

  const auto keys = folder.store().List();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].kind, KeyKind::Mine);
  EXPECT_EQ(keys[0].header.owner, "Alice");
  EXPECT_EQ(keys[0].header.note, "Work & home");
  EXPECT_EQ(keys[0].header.bits, 2048u);
  EXPECT_FALSE(keys[0].header.IsProtected());
  EXPECT_TRUE(folder.store().LoadPublicKey(keys[0].public_path));
  FixedProtectionKey none;
  EXPECT_TRUE(folder.store().LoadPrivateKey(keys[0].private_path, none));

  DialogDriver manager = OpenManager(app, "manager");
  ASSERT_TRUE(manager);
  EXPECT_TRUE(manager.Checked(kMyKeys));
  const auto rows = KeyRows(manager);
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(rows[0].size(), 5u);
  EXPECT_EQ(rows[0][0], "Alice");
  EXPECT_EQ(rows[0][1], "2048");
  EXPECT_EQ(rows[0][3], "My key");
  EXPECT_EQ(rows[0][4], "Work & home");
  // month.day.year, two blanks, hours:minutes:seconds
  const CivilTime t = FileTimeToCivil(keys[0].header.created);
  char expected[64];
  snprintf(expected, sizeof expected, "%02d.%02d.%04d  %02d:%02d:%02d", t.month, t.day, t.year,
           t.hour, t.minute, t.second);
  EXPECT_EQ(rows[0][2], expected);

  manager.Click(kOtherKeys);
  EXPECT_TRUE(WaitUntil([&] { return KeyRows(manager).empty(); }, 5000));
  EXPECT_FALSE(manager.Enabled(kEditNote));
  manager.Click(IDOK);
  EXPECT_TRUE(WaitGone(manager.hwnd()));
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(KeyDialogs, CancellingTheWizardWritesNothing) {
  KeyFolder folder;
  Quorvix app = folder.Start();
  for (const char* page : {kStep1, kStep2, kStep3, kStep4}) {
    SCOPED_TRACE(page);
    Command(app, 40049);
    for (const char* step : {kStep1, kStep2, kStep3, kStep4}) {
      DialogDriver dialog = app.WaitForDialog(step, "page");
      ASSERT_TRUE(dialog);
      if (step == kStep2) dialog.SetText(kWizardText, "Bob");
      if (step == page) {
        dialog.Click(IDCANCEL);
        ASSERT_TRUE(WaitGone(dialog.hwnd()));
        break;
      }
      dialog.Click(IDOK);
      ASSERT_TRUE(WaitGone(dialog.hwnd()));
    }
  }
  EXPECT_TRUE(folder.Files("public").empty());
  EXPECT_TRUE(folder.Files("privat").empty());
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(KeyDialogs, GenerationThatCannotWriteItsFilesSaysSo) {
  KeyFolder folder;
  // A file where the folder of the public keys belongs.
  const std::uint8_t byte = 0;
  ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(folder.path() + "\\public", &byte, 1));
  Quorvix app = folder.Start();
  Command(app, 40049);
  for (const char* step : {kStep1, kStep2, kStep3, kStep4}) {
    DialogDriver dialog = app.WaitForDialog(step, "page");
    ASSERT_TRUE(dialog);
    if (step == kStep2) dialog.SetText(kWizardText, "Hal");
    dialog.Click(IDOK);
    ASSERT_TRUE(WaitGone(dialog.hwnd()));
  }
  ExpectBox(app, "Public key creation error!", "write-failed");
  EXPECT_TRUE(folder.Files("privat").empty());
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(KeyDialogs, SelectionDialogGeneratesDeletesAndOpensTheManager) {
  KeyFolder folder;
  folder.MakeKey("Ivy");
  Quorvix app = folder.Start();
  // "Insert my public key into clipboard" asks for one of my keys.
  Command(app, 40076);
  DialogDriver selection = app.WaitForDialog("Key Selection", "selection");
  ASSERT_TRUE(selection);
  EXPECT_TRUE(selection.Enabled(kFind));
  ASSERT_EQ(KeyRows(selection).size(), 1u);

  // The manager opens over the selection, which waits for it.
  selection.Click(1013);
  DialogDriver manager = app.WaitForDialog("Key Manager", "manager-over-selection");
  ASSERT_TRUE(manager);
  EXPECT_FALSE(IsWindowEnabled(selection.hwnd()));
  manager.Click(IDOK);
  ASSERT_TRUE(WaitGone(manager.hwnd()));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(selection.hwnd()) != FALSE; }, 5000));

  // A key generated from here shows in the list at once.
  selection.Click(1001);
  for (const char* step : {kStep1, kStep2, kStep3, kStep4}) {
    DialogDriver dialog = app.WaitForDialog(step, "page");
    ASSERT_TRUE(dialog);
    if (step == kStep2) dialog.SetText(kWizardText, "Jay");
    dialog.Click(IDOK);
    ASSERT_TRUE(WaitGone(dialog.hwnd()));
  }
  EXPECT_TRUE(WaitUntil([&] { return KeyRows(selection).size() == 2; }, 30000));

  // Delete takes the selected key after the question.
  SelectKeyRow(selection, 0);
  const std::string owner = KeyRows(selection)[0][0];
  selection.Click(1004);
  ExpectBox(app, "Are you sure you want to delete this key?", "delete");
  EXPECT_TRUE(WaitUntil([&] { return KeyRows(selection).size() == 1; }, 5000));
  EXPECT_NE(KeyRows(selection)[0][0], owner);
  selection.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(selection.hwnd()));
  EXPECT_EQ(folder.store().List(KeyKind::Mine).size(), 1u);
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(KeyDialogs, ManagerShowsTheSelectedKeysPropertiesWithItsFingerprint) {
  KeyFolder folder;
  const GeneratedKey hana = folder.MakeKey("Hana", "laptop");
  Quorvix app = folder.Start();
  DialogDriver manager = OpenManager(app, "manager");
  ASSERT_TRUE(manager);
  manager.Click(kProperties);
  ExpectBox(app, "Select key first!", "no-selection");
  SelectKeyRow(manager, 0);
  manager.Click(kProperties);
  DialogDriver properties = app.WaitForDialog("Key File Properties", "manager-properties");
  ASSERT_TRUE(properties);
  EXPECT_EQ(properties.Text(1022), "Owner : Hana");
  EXPECT_EQ(properties.Text(1023), "Type : My key ( Public key )");
  EXPECT_EQ(properties.Text(1043),
            "Fingerprint :\n" + FormatFingerprint(*FingerprintOfKeyFile(folder.store(), hana.public_path), 8));
  properties.Click(IDOK);
  ASSERT_TRUE(WaitGone(properties.hwnd()));
  manager.Click(IDOK);
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(KeyDialogs, ManagerSortsEditsNotesAndDeletes) {
  KeyFolder folder;
  const GeneratedKey carol = folder.MakeKey("carol", "zeta");
  Sleep(1100);  // creation times a second apart
  const GeneratedKey alice = folder.MakeKey("Alice", "beta");
  Sleep(1100);
  const GeneratedKey bob = folder.MakeKey("bob", "Alpha");
  // An association for Bob's key, which deleting the key must drop.
  auto associations = storage::AssociationsFile::InFolder(NativeFileSystem(), folder.path());
  storage::KeyIdBytes bob_id{};
  std::copy(bob.header.id.bytes.begin(), bob.header.id.bytes.end(), bob_id.begin());
  storage::KeyIdBytes alice_id{};
  std::copy(alice.header.id.bytes.begin(), alice.header.id.bytes.end(), alice_id.begin());
  ASSERT_TRUE(associations.Add(bob_id, Sha256Digest{}, "account"));
  ASSERT_TRUE(associations.Add(alice_id, Sha256Digest{}, "account"));

  Quorvix app = folder.Start();
  DialogDriver manager = OpenManager(app, "manager");
  ASSERT_TRUE(manager);
  // Find belongs to the list tools, which this build does not have.
  EXPECT_TRUE(manager.Exists(kFind));
  EXPECT_TRUE(manager.Enabled(kFind));

  auto column = [&](int c) {
    std::vector<std::string> out;
    for (const auto& row : KeyRows(manager)) out.push_back(row.at(c));
    return out;
  };
  ClickKeyColumn(manager, 0);
  EXPECT_TRUE(WaitUntil([&] {
    return column(0) == std::vector<std::string>{"Alice", "bob", "carol"};
  }, 5000)) << column(0)[0];
  ClickKeyColumn(manager, 4);
  EXPECT_TRUE(WaitUntil([&] {
    return column(4) == std::vector<std::string>{"Alpha", "beta", "zeta"};
  }, 5000));
  // Sorting by type keeps the order; by creation time the oldest comes first.
  ClickKeyColumn(manager, 3);
  Sleep(300);
  EXPECT_EQ(column(0), (std::vector<std::string>{"bob", "Alice", "carol"}));
  ClickKeyColumn(manager, 2);
  EXPECT_TRUE(WaitUntil([&] {
    return column(0) == std::vector<std::string>{"carol", "Alice", "bob"};
  }, 5000));
  SaveScreenshot(manager.hwnd(), "sorted");

  // The note of Alice's key (row 1).
  SelectKeyRow(manager, 1);
  manager.Click(kEditNote);
  DialogDriver note = app.WaitForDialog("Key Note", "note");
  ASSERT_TRUE(note);
  EXPECT_EQ(note.Text(kNoteText), "beta");
  note.SetText(kNoteText, "new note");
  note.Click(IDOK);
  ASSERT_TRUE(WaitGone(note.hwnd()));
  EXPECT_TRUE(WaitUntil([&] { return column(4)[1] == "new note"; }, 10000));
  auto edited = folder.store().LoadPublicKey(alice.public_path);
  ASSERT_TRUE(edited);
  EXPECT_EQ(edited->header.note, "new note");
  FixedProtectionKey none;
  auto edited_private = folder.store().LoadPrivateKey(alice.private_path, none);
  ASSERT_TRUE(edited_private);
  EXPECT_EQ(edited_private->header.note, "new note");
  EXPECT_EQ(edited_private->header.created, alice.header.created);

  // Deleting Bob's key (row 2) after the question takes both files and the
  // association; cancelling the question keeps everything.
  SelectKeyRow(manager, 2);
  PressKey(VK_DELETE);
  ExpectBox(app, "Are you sure you want to delete this key?", "delete-cancel", IDCANCEL);
  EXPECT_EQ(KeyRows(manager).size(), 3u);
  manager.Click(kManagerDelete);
  ExpectBox(app, "Are you sure you want to delete this key?", "delete");
  EXPECT_TRUE(WaitUntil([&] { return KeyRows(manager).size() == 2; }, 5000));
  EXPECT_FALSE(NativeFileSystem().FileExists(bob.public_path));
  EXPECT_FALSE(NativeFileSystem().FileExists(bob.private_path));
  auto left = associations.ReadAll();
  ASSERT_TRUE(left);
  ASSERT_EQ(left->size(), 1u);
  EXPECT_EQ((*left)[0].key_id, alice_id);

  // With nothing selected the buttons say so.
  manager.Click(kMyKeys);
  Sleep(200);
  manager.Click(kManagerDelete);
  ExpectBox(app, "Select key first!", "select-first");
  manager.Click(IDOK);
  EXPECT_TRUE(WaitGone(manager.hwnd()));
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(KeyDialogs, ManagerImportsAPublicKeyTransportFile) {
  KeyFolder home;
  const GeneratedKey dave = home.MakeKey("Dave", "from home");
  const std::string transport = home.path() + "\\dave.qvxt";
  ASSERT_TRUE(ExportKeyTransportFile(home.store(), dave.public_path, TransportContent::PublicOnly,
                                     transport, [] { return std::optional<Key256>(); }));

  KeyFolder work;
  Quorvix app = work.Start();
  DialogDriver manager = OpenManager(app, "manager");
  ASSERT_TRUE(manager);
  manager.Click(kImport);
  ASSERT_TRUE(AnswerFileDialog(app, "Open", transport));

  manager.Click(kOtherKeys);
  EXPECT_TRUE(WaitUntil([&] {
    const auto rows = KeyRows(manager);
    return rows.size() == 1 && rows[0][0] == "Dave" && rows[0][3] == "Other key";
  }, 10000));
  SaveScreenshot(manager.hwnd(), "imported");
  const auto files_in = work.Files("public");
  ASSERT_EQ(files_in.size(), 1u);
  EXPECT_EQ(NativeFileSystem().ReadFile(work.path() + "\\public\\" + files_in[0]).value(),
            NativeFileSystem().ReadFile(dave.public_path).value());
  EXPECT_TRUE(work.Files("privat").empty());
  manager.Click(IDOK);
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(KeyDialogs, NoteOfAProtectedKeyNeedsItsPassword) {
  KeyFolder folder;
  const GeneratedKey fay = folder.MakeKey("Fay", "old note", std::string("fay pw"));
  const Bytes public_before = NativeFileSystem().ReadFile(fay.public_path).value();
  const Bytes private_before = NativeFileSystem().ReadFile(fay.private_path).value();
  Quorvix app = folder.Start();
  DialogDriver manager = OpenManager(app, "manager");
  ASSERT_TRUE(manager);
  SelectKeyRow(manager, 0);

  auto edit_note = [&](const std::string& note, const std::string& what) {
    manager.Click(kEditNote);
    DialogDriver dialog = app.WaitForDialog("Key Note", what);
    ASSERT_TRUE(dialog);
    dialog.SetText(kNoteText, note);
    dialog.Click(IDOK);
    ASSERT_TRUE(WaitGone(dialog.hwnd()));
  };
  // A wrong password changes nothing and says why.
  edit_note("new note", "note");
  ASSERT_TRUE(AnswerPassword(app, "Enter password to decrypt privat key data", "wrong", "password"));
  ExpectBox(app, "Privat key is corrupted!", "corrupted");
  ExpectBox(app, "Error open privat file!", "open-error");
  // Cancelling the password prompt changes nothing and says nothing.
  edit_note("new note", "note-again");
  DialogDriver prompt = app.WaitForDialog("Enter password to decrypt privat key data", "prompt", 1002);
  ASSERT_TRUE(prompt);
  prompt.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(prompt.hwnd()));
  Sleep(300);
  EXPECT_FALSE(FindMessageBox(app.pid()));
  EXPECT_EQ(NativeFileSystem().ReadFile(fay.public_path).value(), public_before);
  EXPECT_EQ(NativeFileSystem().ReadFile(fay.private_path).value(), private_before);
  EXPECT_EQ(KeyRows(manager).at(0).at(4), "old note");

  edit_note("new note", "note-third");
  ASSERT_TRUE(AnswerPassword(app, "Enter password to decrypt privat key data", "fay pw", "password-right"));
  EXPECT_TRUE(WaitUntil([&] { return KeyRows(manager).at(0).at(4) == "new note"; }, 10000));
  FixedProtectionKey key("fay pw");
  auto loaded = folder.store().LoadPrivateKey(fay.private_path, key);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->header.note, "new note");
  EXPECT_TRUE(loaded->header.IsProtected());
  manager.Click(IDOK);
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(KeyDialogs, ExportingAnOtherKeyWritesItsPublicKeyAlone) {
  KeyFolder sender;
  const GeneratedKey gus = sender.MakeKey("Gus");
  KeyFolder folder;
  ASSERT_TRUE(folder.store().CreateFolders());
  const std::string received = folder.path() + "\\public\\" + FileNameOf(gus.public_path);
  ASSERT_TRUE(CopyFileA(gus.public_path.c_str(), received.c_str(), FALSE));

  Quorvix app = folder.Start();
  DialogDriver manager = OpenManager(app, "manager");
  ASSERT_TRUE(manager);
  manager.Click(kOtherKeys);
  ASSERT_TRUE(WaitUntil([&] { return KeyRows(manager).size() == 1; }, 5000));
  manager.Click(kExport);
  ExpectBox(app, "Select key first!", "select-first");
  SelectKeyRow(manager, 0);
  manager.Click(kExport);
  const std::string target = folder.path() + "\\gus.qvxt";
  ASSERT_TRUE(AnswerFileDialog(app, "Save As", target));
  ASSERT_TRUE(WaitUntil([&] { return NativeFileSystem().FileExists(target); }, 10000));
  // No export choice and no password: the public key alone.
  Sleep(300);
  EXPECT_FALSE(FindMessageBox(app.pid()));
  const Bytes file = NativeFileSystem().ReadFile(target).value();
  auto parsed = ParseTransportFile(file.data(), file.size());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->content, TransportContent::PublicOnly);
  EXPECT_EQ(parsed->public_file, NativeFileSystem().ReadFile(gus.public_path).value());
  manager.Click(IDOK);
  EXPECT_EQ(app.Exit(), 1u);
}

TEST_F(KeyDialogs, KeyFileArgumentShowsThePropertiesAndOffersToAddThePublicKey) {
  KeyFolder sender;
  const GeneratedKey erin = sender.MakeKey("Erin", "sent by mail");
  KeyFolder receiver;

  // Declining the offer adds nothing.
  for (const int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer == IDYES ? "yes" : "no");
    Quorvix viewer = Quorvix::LaunchProgram(receiver.program(), QuoteArgument(erin.public_path));
    DialogDriver properties = viewer.WaitForDialog("Key File Properties", "properties");
    ASSERT_TRUE(properties);
    EXPECT_EQ(properties.Text(1022), "Owner : Erin");
    EXPECT_EQ(properties.Text(1026), "Length : 1024");
    EXPECT_EQ(properties.Text(1023), "Type : Other key ( Public key )");
    EXPECT_EQ(properties.Text(1025), "Note : sent by mail");
    EXPECT_EQ(properties.Text(1024).rfind("Creation time : ", 0), 0u);
    properties.Click(IDOK);
    const MessageBoxInfo offer = WaitForMessageBox(viewer.pid(), "offer");
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer.text,
              "Do you want to add this public key to your keys?\nIt will be listed under \"Other "
              "keys\".");
    AnswerMessageBox(offer, answer);
    if (answer == IDYES) ExpectBox(viewer, "Operation is OK", "added");
    EXPECT_EQ(viewer.process().WaitExit(), 0u);
  }
  const auto received = receiver.store().List(KeyKind::Other);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].header.id, erin.header.id);

  // The stored file itself, or one of my own keys: shown, nothing offered.
  for (const std::string& path : {received[0].public_path, erin.private_path}) {
    Quorvix viewer = Quorvix::LaunchProgram(receiver.program(), QuoteArgument(path));
    DialogDriver properties = viewer.WaitForDialog("Key File Properties", "properties-again");
    ASSERT_TRUE(properties);
    if (path == erin.private_path) {
      EXPECT_EQ(properties.Text(1023), "Type : Other key ( Privat key )");
    }
    properties.Click(IDOK);
    EXPECT_EQ(viewer.process().WaitExit(), 0u);
  }
}

// Another key under Erin's id and owner (validly sealed) offered as a key
// file: the properties show its own fingerprint, and replacing the stored key
// needs a Yes to the warning that shows both fingerprints (default No).
TEST_F(KeyDialogs, KeyFileArgumentWithAnotherKeyUnderAStoredIdWarns) {
  KeyFolder sender;
  const GeneratedKey erin = sender.MakeKey("Erin", "sent by mail");
  KeyFolder receiver;
  ASSERT_TRUE(receiver.store().CreateFolders());
  const std::string stored = receiver.store().PublicPath("Erin", erin.header.id);
  ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(stored, NativeFileSystem().ReadFile(erin.public_path).value()));
  const Bytes stored_before = NativeFileSystem().ReadFile(stored).value();

  KeyFolder mallory;
  auto mallory_key = RsaKey::Generate(1024);
  ASSERT_TRUE(mallory_key);
  ASSERT_TRUE(mallory.store().CreateFolders());
  const std::string forged = mallory.store().PublicPath("Erin", erin.header.id);
  ASSERT_TRUE(mallory.store().SavePublicKeyFile(forged, erin.header, *mallory_key));
  const KeyFingerprint stored_print = *FingerprintOfKeyFile(receiver.store(), stored);
  const KeyFingerprint forged_print = *FingerprintOf(*mallory_key);
  std::string warning = MessageText(Msg::KeyReplacesOtherQuestion);
  warning.replace(warning.find("%s"), 2, FormatFingerprint(stored_print, 8) + "\n\n" + FormatFingerprint(forged_print, 8));

  for (const int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer == IDYES ? "yes" : "no");
    Quorvix viewer = Quorvix::LaunchProgram(receiver.program(), QuoteArgument(forged));
    DialogDriver properties = viewer.WaitForDialog("Key File Properties", "forged-properties");
    ASSERT_TRUE(properties);
    EXPECT_EQ(properties.Text(1043), "Fingerprint :\n" + FormatFingerprint(forged_print, 8));
    properties.Click(IDOK);
    const MessageBoxInfo offer = WaitForMessageBox(viewer.pid(), "offer");
    ASSERT_TRUE(offer);
    AnswerMessageBox(offer, IDYES);
    const MessageBoxInfo box = WaitForMessageBox(viewer.pid(), "substitution-warning");
    ASSERT_TRUE(box);
    EXPECT_EQ(box.text, warning);
    // No is the default button (Enter answers No).
    const auto style = [&](int id) { return GetWindowLongA(GetDlgItem(box.hwnd, id), GWL_STYLE) & 0x0F; };
    EXPECT_EQ(style(IDNO), BS_DEFPUSHBUTTON);
    EXPECT_EQ(style(IDYES), BS_PUSHBUTTON);
    AnswerMessageBox(box, answer);
    // As after declining to overwrite the same key: the command ends normally.
    ExpectBox(viewer, "Operation is OK", "after-warning");
    EXPECT_EQ(viewer.process().WaitExit(), 0u);
    EXPECT_EQ(NativeFileSystem().ReadFile(stored).value(),
              answer == IDYES ? NativeFileSystem().ReadFile(forged).value() : stored_before);
  }
}

TEST_F(KeyDialogs, KeyFileArgumentThatIsNoKeyFileIsALoadError) {
  KeyFolder folder;
  const std::string not_key = folder.path() + "\\letter.txt";
  const std::string short_file = folder.path() + "\\short.qvx";
  const std::uint8_t bytes[10] = {};
  ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(not_key, bytes, sizeof bytes));
  ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(short_file, bytes, sizeof bytes));
  for (const std::string& path : {not_key, short_file}) {
    Quorvix viewer = Quorvix::LaunchProgram(folder.program(), QuoteArgument(path));
    ExpectBox(viewer, "Key load error!", "load-error");
    EXPECT_EQ(viewer.process().WaitExit(), 1u);
  }
}

}  // namespace
}  // namespace qvx::e2e
