// The password storage end to end under Wine: the login at start-up and from
// the tray, the storage window with its records, menu, sorting, filters and
// password display, the Find dialog over its list and the balloon over a long
// cell.
#include "tests/storage/e2e/storage_e2e.h"

namespace qvx::e2e {
namespace {

using namespace storage_ui;

class StorageUi : public QuorvixTest {
 protected:
  void StartApp() {
    app_ = program_.Launch();
    ASSERT_NE(app_.WaitMainWindow(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return app_.TrayIconPresent(); }));
  }
  // The tray command "&Password storage...".
  void TrayStorageCommand() { PostMessageA(app_.main(), WM_COMMAND, kTrayStorage, 0); }
  DialogDriver WaitLogin(const std::string& what = "login") {
    return app_.WaitForDialog(kLoginTitle, what, kLoginPassword);
  }
  DialogDriver WaitStorage(const std::string& what = "storage") {
    return app_.WaitForDialog(kStorageTitle, what, kList);
  }
  // Opens the storage window from the tray, logging in when asked.
  DialogDriver OpenStorage(const std::string& account, const std::string& password) {
    TrayStorageCommand();
    DialogDriver login = WaitLogin();
    EXPECT_TRUE(login);
    if (!login) return DialogDriver();
    SubmitLogin(login, account, password);
    EXPECT_TRUE(WaitGone(login.hwnd()));
    return WaitStorage();
  }
  void CloseStorage(const DialogDriver& storage) {
    storage.Click(IDCANCEL);
    EXPECT_TRUE(WaitGone(storage.hwnd()));
  }
  // Answers a message box and returns its text.
  std::string Answer(const std::string& what, int button = IDOK) {
    const MessageBoxInfo box = WaitForMessageBox(app_.pid(), what);
    EXPECT_TRUE(box) << what;
    if (!box) return {};
    EXPECT_EQ(box.title, "Quorvix");
    AnswerMessageBox(box, button);
    return box.text;
  }
  // Opens Filters from the storage window's menu.
  DialogDriver OpenFilters(const DialogDriver& storage, const std::string& what) {
    PostMessageA(storage.hwnd(), WM_COMMAND, kMenuFilters, 0);
    return app_.WaitForDialog("Filters", what);
  }
  // Sets both filters with their buttons and closes the dialog.
  static void SetFilters(const DialogDriver& filters, const std::string& owners,
                         const std::string& notes) {
    filters.SetText(kFilterOwners, owners);
    filters.Click(kFilterOwnersSet);
    filters.SetText(kFilterNotes, notes);
    filters.Click(kFilterNotesSet);
    filters.Click(IDCANCEL);
    EXPECT_TRUE(WaitGone(filters.hwnd()));
  }
  void WaitRows(const DialogDriver& storage, const std::vector<std::string>& owners) {
    EXPECT_TRUE(WaitUntil([&] { return StorageOwners(storage) == owners; }))
        << ::testing::PrintToString(StorageOwners(storage));
  }

  ProgramCopy program_;
  Quorvix app_;
};

TEST_F(StorageUi, LoginAtStartupThenTheTrayCommandAndHotKeyOpenTheStorage) {
  MakeAccount(program_, "alice", "secret", 2);
  ASSERT_TRUE(settings::WriteDword("LoginAtStartup", 1));
  ASSERT_TRUE(settings::WriteString("user_name", "alice"));
  app_ = program_.Launch();
  DialogDriver login = WaitLogin("startup-login");
  ASSERT_TRUE(login);
  EXPECT_EQ(login.Text(kLoginName), "alice");
  EXPECT_EQ(login.Text(IDCANCEL), "Cancel");
  // The name is known: the password edit has the focus.
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(login.hwnd()) == login.Control(kLoginPassword); }));

  login.SetText(kLoginPassword, "wrong");
  login.Click(IDOK);
  EXPECT_EQ(Answer("login-failure"), "Login failure!");
  login.SetText(kLoginPassword, "");
  login.Click(IDOK);
  EXPECT_EQ(Answer("empty-password"), "Please, enter password!");
  login.SetText(kLoginPassword, "secret");
  login.Click(IDOK);
  ASSERT_TRUE(WaitGone(login.hwnd()));
  ASSERT_NE(app_.WaitMainWindow(), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return app_.TrayIconPresent(); }));

  // Logged in: the tray command opens the storage without asking again.
  TrayStorageCommand();
  DialogDriver storage = WaitStorage();
  ASSERT_TRUE(storage);
  const auto rows = StorageRows(storage);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], "owner1");
  EXPECT_EQ(rows[0][2], "***");
  EXPECT_EQ(rows[0][4], "note1");
  EXPECT_EQ(rows[0][3].size(), std::string("01.02.2024  10:11:12").size()) << rows[0][3];
  EXPECT_FALSE(storage.Checked(kShow));
  EXPECT_TRUE(storage.Text(kFilterText).find("Current filter string: ") == 0)
      << storage.Text(kFilterText);
  // A second request while it is open brings it forward instead of a second window.
  PressAltShiftHotKey('Z');
  Sleep(500);
  EXPECT_EQ(TopLevelWindows({app_.pid(), "#32770", kStorageTitle}).size(), 1u);
  CloseStorage(storage);

  // The hot key opens it too.
  PressAltShiftHotKey('Z');
  storage = WaitStorage("storage-hotkey");
  ASSERT_TRUE(storage);
  // "Logout" ends the login: the next opening asks again.
  storage.Click(kLogout);
  ASSERT_TRUE(WaitGone(storage.hwnd()));
  TrayStorageCommand();
  login = WaitLogin("login-after-logout");
  ASSERT_TRUE(login);
  EXPECT_EQ(login.Text(kLoginName), "alice");
  login.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(login.hwnd()));
  EXPECT_FALSE(FindTopLevel({app_.pid(), "#32770", kStorageTitle}));
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(StorageUi, AccountCreatedAtStartUpAndItsPasswordChanged) {
  ASSERT_TRUE(settings::WriteDword("LoginAtStartup", 1));
  app_ = program_.Launch();
  DialogDriver login = WaitLogin("first-login");
  ASSERT_TRUE(login);
  EXPECT_EQ(login.Text(kLoginName), "");
  // A new name: the account is offered, and its password asked again.
  SubmitLogin(login, "carol", "first pw");
  EXPECT_EQ(Answer("create-question", IDOK), "Do you want to create new account?");
  DialogDriver confirm = app_.WaitForDialog("Password", "confirm-new-account", 1002);
  ASSERT_TRUE(confirm);
  confirm.SetText(1002, "First pw");  // the letter case counts
  confirm.Click(IDOK);
  EXPECT_EQ(Answer("wrong-confirmation"), "Wrong confirmation!");
  EXPECT_EQ(GetFileAttributesA(program_.File("carol.qvxp").c_str()), INVALID_FILE_ATTRIBUTES);
  login.Click(IDOK);
  Answer("create-question-again", IDOK);
  confirm = app_.WaitForDialog("Password", "confirm-again", 1002);
  ASSERT_TRUE(confirm);
  confirm.SetText(1002, "first pw");
  confirm.Click(IDOK);
  ASSERT_TRUE(WaitGone(login.hwnd()));
  EXPECT_NE(GetFileAttributesA(program_.File("carol.qvxp").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(WaitUntil([] { return settings::ReadString("user_name") == std::string("carol"); }));
  ASSERT_NE(app_.WaitMainWindow(), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return app_.TrayIconPresent(); }));

  // A record through the wizard, its password asked twice.
  TrayStorageCommand();
  DialogDriver storage = WaitStorage("new-account");
  ASSERT_TRUE(storage);
  EXPECT_TRUE(StorageRows(storage).empty());
  storage.Click(kAdd);
  DialogDriver step = app_.WaitForDialog("New Password - Step 1 of 3", "wizard-1");
  ASSERT_TRUE(step);
  step.SetText(kRecordText, "bank");
  step.Click(IDOK);
  step = app_.WaitForDialog("New Password - Step 2 of 3", "wizard-2");
  ASSERT_TRUE(step);
  step.SetText(kRecordText, "bank pw");
  step.Click(IDOK);
  confirm = app_.WaitForDialog("Password", "confirm-record", 1002);
  ASSERT_TRUE(confirm);
  confirm.Click(IDCANCEL);  // a cancelled confirmation is a wrong one
  EXPECT_EQ(Answer("record-wrong-confirmation"), "Wrong confirmation!");
  EXPECT_EQ(step.Text(kRecordText), "");
  step.SetText(kRecordText, "bank pw");
  step.Click(IDOK);
  confirm = app_.WaitForDialog("Password", "confirm-record-again", 1002);
  ASSERT_TRUE(confirm);
  confirm.SetText(1002, "bank pw");
  confirm.Click(IDOK);
  step = app_.WaitForDialog("New Password - Step 3 of 3", "wizard-3");
  ASSERT_TRUE(step);
  step.Click(IDOK);
  WaitRows(storage, {"bank"});

  // The account password changes; every record stays.
  PostMessageA(storage.hwnd(), WM_COMMAND, kMenuChangePassword, 0);
  DialogDriver change = app_.WaitForDialog("Change Password", "change-password", kRecordText);
  ASSERT_TRUE(change);
  change.Click(IDOK);
  EXPECT_EQ(Answer("change-empty"), "Please, enter password!");
  change.SetText(kRecordText, "second pw");
  change.Click(IDOK);
  confirm = app_.WaitForDialog("Password", "confirm-change", 1002);
  ASSERT_TRUE(confirm);
  confirm.SetText(1002, "second pw");
  confirm.Click(IDOK);
  ASSERT_TRUE(WaitGone(change.hwnd()));
  WaitRows(storage, {"bank"});
  EXPECT_TRUE(AccountOwners(program_, "carol", "first pw").empty());
  EXPECT_EQ(AccountOwners(program_, "carol", "second pw"), std::vector<std::string>{"bank"});
  // Still logged in with the new password: the storage opens again at once.
  CloseStorage(storage);
  TrayStorageCommand();
  storage = WaitStorage("after-change");
  ASSERT_TRUE(storage);
  WaitRows(storage, {"bank"});
  PostMessageA(storage.hwnd(), WM_COMMAND, kMenuUnlink, 0);
  ASSERT_TRUE(WaitGone(storage.hwnd()));
  // Logged out: the old password fails, the new one opens the same records.
  TrayStorageCommand();
  login = WaitLogin("login-new-password");
  ASSERT_TRUE(login);
  EXPECT_EQ(login.Text(kLoginName), "carol");
  login.SetText(kLoginPassword, "first pw");
  login.Click(IDOK);
  EXPECT_EQ(Answer("old-password"), "Login failure!");
  login.SetText(kLoginPassword, "second pw");
  login.Click(IDOK);
  storage = WaitStorage("logged-in-again");
  ASSERT_TRUE(storage);
  WaitRows(storage, {"bank"});
  CloseStorage(storage);
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(StorageUi, UnknownNameOffersAnAccountAndCancelKeepsTheDialog) {
  StartApp();
  TrayStorageCommand();
  DialogDriver login = WaitLogin();
  ASSERT_TRUE(login);
  EXPECT_EQ(login.Text(kLoginName), "");
  SubmitLogin(login, "bob", "pw");
  EXPECT_EQ(Answer("create-question", IDCANCEL), "Do you want to create new account?");
  EXPECT_TRUE(IsWindow(login.hwnd()));
  SubmitLogin(login, "bad:name", "pw");
  EXPECT_EQ(Answer("bad-name"),
            "This account name cannot be a file name: avoid \\ / : * ? \" < > |, a final dot or "
            "blank, and names like CON or NUL.");
  EXPECT_EQ(GetFileAttributesA(program_.File("bob.qvxp").c_str()), INVALID_FILE_ATTRIBUTES);
  login.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(login.hwnd()));
  EXPECT_FALSE(settings::ReadString("user_name").has_value());
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(StorageUi, WizardEditDeleteShowAndSort) {
  MakeAccount(program_, "alice", "secret", 2);
  StartApp();
  DialogDriver storage = OpenStorage("alice", "secret");
  ASSERT_TRUE(storage);
  WaitRows(storage, {"owner1", "owner2"});

  // Add: step 1 refuses an empty owner; Back from step 2 keeps what was typed.
  storage.Click(kAdd);
  DialogDriver step1 = app_.WaitForDialog("New Password - Step 1 of 3", "wizard-1");
  ASSERT_TRUE(step1);
  EXPECT_FALSE(step1.Enabled(kRecordBack));
  step1.Click(IDOK);
  EXPECT_EQ(Answer("empty-owner"), "Enter account owner name!");
  step1.SetText(kRecordText, "mail");
  step1.Click(IDOK);
  DialogDriver step2 = app_.WaitForDialog("New Password - Step 2 of 3", "wizard-2");
  ASSERT_TRUE(step2);
  step2.Click(IDOK);
  EXPECT_EQ(Answer("empty-password"), "Please, enter password!");
  step2.SetText(kRecordText, "Mail-pw");
  step2.Click(kRecordBack);
  step1 = app_.WaitForDialog("New Password - Step 1 of 3", "wizard-1-back");
  ASSERT_TRUE(step1);
  EXPECT_EQ(step1.Text(kRecordText), "mail");
  step1.Click(IDOK);
  step2 = app_.WaitForDialog("New Password - Step 2 of 3", "wizard-2-again");
  ASSERT_TRUE(step2);
  EXPECT_EQ(step2.Text(kRecordText), "Mail-pw");
  // Shown in clear, the password needs no confirmation.
  ASSERT_TRUE(step2.SetChecked(kRecordShow, true));
  SaveScreenshot(step2.hwnd(), "wizard-2-shown");
  step2.Click(IDOK);
  DialogDriver step3 = app_.WaitForDialog("New Password - Step 3 of 3", "wizard-3");
  ASSERT_TRUE(step3);
  step3.SetText(kRecordText, "the mail account");
  step3.Click(IDOK);
  ASSERT_TRUE(WaitGone(step3.hwnd()));
  WaitRows(storage, {"owner1", "owner2", "mail"});
  EXPECT_EQ(SelectedRow(storage), 2);
  EXPECT_EQ(AccountOwners(program_, "alice", "secret"),
            (std::vector<std::string>{"owner1", "owner2", "mail"}));

  // Show passwords by the box: box and menu agree, and the cells show them.
  ASSERT_TRUE(storage.SetChecked(kShow, true));
  EXPECT_TRUE(WaitUntil([&] { return StorageRows(storage)[2][2] == "Mail-pw"; }));
  auto menu = ReadMenuBar(storage.hwnd());
  ASSERT_NE(MenuItemById(menu, kMenuShowPasswords), nullptr);
  EXPECT_TRUE(MenuItemById(menu, kMenuShowPasswords)->checked);
  SaveScreenshot(storage.hwnd(), "passwords-shown");
  // Sorting by the password column now orders the rows.
  const std::vector<std::string> by_password{"mail", "owner1", "owner2"};  // "Mail-pw" < "pw1" < "pw2"
  EXPECT_TRUE(ClickColumnHeader(storage, 1, [&] { return StorageOwners(storage) == by_password; }))
      << ::testing::PrintToString(StorageOwners(storage));
  // Hide them by the menu: box and menu agree again, and the setting is kept.
  PostMessageA(storage.hwnd(), WM_COMMAND, kMenuShowPasswords, 0);
  EXPECT_TRUE(WaitUntil([&] { return !storage.Checked(kShow); }));
  EXPECT_FALSE(MenuItemById(ReadMenuBar(storage.hwnd()), kMenuShowPasswords)->checked);
  EXPECT_TRUE(WaitUntil([&] { return StorageRows(storage)[2][2] == "*******"; }));
  ASSERT_TRUE(storage.SetChecked(kShow, true));

  // Edit the second record: its password and note.
  WaitRows(storage, {"owner1", "owner2", "mail"});
  ASSERT_TRUE(ClickRow(storage, 1));
  storage.Click(kEdit);
  DialogDriver edit = app_.WaitForDialog("Edit Record", "edit");
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit.Text(kRecordText), "pw2");
  EXPECT_TRUE(edit.Checked(kRecordShow));
  EXPECT_EQ(edit.Text(kRecordNote), "note2");
  edit.SetText(kRecordText, "pw2-new");
  edit.SetText(kRecordNote, "changed note");
  edit.Click(IDOK);
  ASSERT_TRUE(WaitGone(edit.hwnd()));
  EXPECT_TRUE(WaitUntil([&] {
    const auto rows = StorageRows(storage);
    return rows.size() == 3 && rows[1][2] == "pw2-new" && rows[1][4] == "changed note";
  }));

  // Delete asks first; Cancel keeps the record.
  ASSERT_TRUE(ClickRow(storage, 0));
  storage.Click(kDelete);
  EXPECT_EQ(Answer("delete-question", IDCANCEL),
            "Are you sure you want to delete this password record?");
  WaitRows(storage, {"owner1", "owner2", "mail"});
  storage.Click(kDelete);
  Answer("delete-question-ok", IDOK);
  WaitRows(storage, {"owner2", "mail"});
  EXPECT_EQ(AccountOwners(program_, "alice", "secret"),
            (std::vector<std::string>{"owner2", "mail"}));

  // Nothing selected: Edit and Delete say so.
  PostMessageA(storage.hwnd(), WM_COMMAND, kMenuExit, 0);
  ASSERT_TRUE(WaitGone(storage.hwnd()));
  EXPECT_TRUE(WaitUntil([] { return settings::ReadDword("show_passwords") == 1u; }));
  TrayStorageCommand();
  storage = WaitStorage("reopened");
  ASSERT_TRUE(storage);
  EXPECT_TRUE(storage.Checked(kShow));
  EXPECT_TRUE(MenuItemById(ReadMenuBar(storage.hwnd()), kMenuShowPasswords)->checked);
  storage.Click(kEdit);
  EXPECT_EQ(Answer("edit-nothing"), "Select item first!");
  CloseStorage(storage);
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(StorageUi, TextsTooLongForARecordAreRefusedNotCut) {
  MakeAccount(program_, "alice", "secret", 0);
  ASSERT_TRUE(settings::WriteDword("show_passwords", 1));
  StartApp();
  DialogDriver storage = OpenStorage("alice", "secret");
  ASSERT_TRUE(storage);
  const std::string owner(127, 'o'), password(63, 'p'), note(255, 'n');
  const std::string too_long_text =
      "The owner name (at most 127 characters) or the note (at most 255 characters) is too long.";
  const std::string too_long_password =
      "Password too long for the storage: a stored password can have at most 63 characters.";

  storage.Click(kAdd);
  DialogDriver step = app_.WaitForDialog("New Password - Step 1 of 3", "wizard-1");
  ASSERT_TRUE(step);
  step.SetText(kRecordText, owner + "o");
  step.Click(IDOK);
  EXPECT_EQ(Answer("owner-too-long"), too_long_text);
  EXPECT_EQ(step.Text(kRecordText), owner + "o");  // nothing was cut
  step.SetText(kRecordText, owner);
  step.Click(IDOK);
  step = app_.WaitForDialog("New Password - Step 2 of 3", "wizard-2");
  ASSERT_TRUE(step);
  ASSERT_TRUE(step.SetChecked(kRecordShow, true));
  step.SetText(kRecordText, password + "p");
  step.Click(IDOK);
  EXPECT_EQ(Answer("password-too-long"), too_long_password);
  step.SetText(kRecordText, password);
  step.Click(IDOK);
  step = app_.WaitForDialog("New Password - Step 3 of 3", "wizard-3");
  ASSERT_TRUE(step);
  step.SetText(kRecordText, note + "n");
  step.Click(IDOK);
  EXPECT_EQ(Answer("note-too-long"), too_long_text);
  step.SetText(kRecordText, note);
  step.Click(IDOK);
  ASSERT_TRUE(WaitGone(step.hwnd()));
  // The longest texts a record keeps come back whole.
  ASSERT_TRUE(WaitUntil([&] { return StorageRows(storage).size() == 1; }));
  auto row = StorageRows(storage)[0];
  EXPECT_EQ(row[1], owner);
  EXPECT_EQ(row[2], password);
  EXPECT_EQ(row[4], note);

  // Editing refuses the same way and keeps the dialog with its texts.
  ASSERT_TRUE(ClickRow(storage, 0));
  storage.Click(kEdit);
  DialogDriver edit = app_.WaitForDialog("Edit Record", "edit");
  ASSERT_TRUE(edit);
  edit.SetText(kRecordText, password + "q");
  edit.Click(IDOK);
  EXPECT_EQ(Answer("edit-password-too-long"), too_long_password);
  EXPECT_TRUE(IsWindowVisible(edit.hwnd()));
  EXPECT_EQ(edit.Text(kRecordText), password + "q");
  edit.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(edit.hwnd()));
  row = StorageRows(storage)[0];
  EXPECT_EQ(row[2], password);
  CloseStorage(storage);
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(StorageUi, FiltersListMatchingRecordsAndShowTheCurrentFilter) {
  MakeAccount(program_, "alice", "secret", 0);
  AddRecord(program_, "alice", "secret", "Mail", "p1", "home");
  AddRecord(program_, "alice", "secret", "bank", "p2", "");
  AddRecord(program_, "alice", "secret", "", "p3", "MAIN note");
  AddRecord(program_, "alice", "secret", "mailbox", "p4", "work");
  StartApp();
  DialogDriver storage = OpenStorage("alice", "secret");
  ASSERT_TRUE(storage);
  WaitRows(storage, {"Mail", "bank", "", "mailbox"});

  DialogDriver filters = OpenFilters(storage, "filters");
  ASSERT_TRUE(filters);
  EXPECT_EQ(filters.Text(kFilterOwners), "*");
  EXPECT_EQ(filters.Text(kFilterNotes), "*");
  SetFilters(filters, "MAIL*", "*O*");
  // Owners and notes that are empty always pass; case does not count; a '*'
  // stands for at least one character at the end ("Mail" is not "MAIL*").
  WaitRows(storage, {"", "mailbox"});
  EXPECT_EQ(storage.Text(kFilterText), "Current filter string: Owner \"MAIL*\", Note \"*O*\"");
  SaveScreenshot(storage.hwnd(), "filtered");

  // A filter that lists nothing: Find has nothing to search.
  filters = OpenFilters(storage, "filters-nothing");
  ASSERT_TRUE(filters);
  EXPECT_EQ(filters.Text(kFilterOwners), "MAIL*");
  SetFilters(filters, "nobody", "nothing");
  WaitRows(storage, {});
  storage.Click(kFind);
  DialogDriver find = app_.WaitForDialog("Find", "find-empty", kFindText);
  ASSERT_TRUE(find);
  find.SetText(kFindText, "mail");
  find.Click(IDOK);
  EXPECT_EQ(Answer("find-empty-list"), "Select item first!");
  find.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(find.hwnd()));
  CloseStorage(storage);

  // Every opening starts without filters.
  TrayStorageCommand();
  storage = WaitStorage("reopened");
  ASSERT_TRUE(storage);
  WaitRows(storage, {"Mail", "bank", "", "mailbox"});
  CloseStorage(storage);
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(StorageUi, FindSearchesTheListInBothDirections) {
  MakeAccount(program_, "alice", "secret", 0);
  AddRecord(program_, "alice", "secret", "bank", "p1", "first");
  AddRecord(program_, "alice", "secret", "mail", "p2", "bank note");
  AddRecord(program_, "alice", "secret", "shop", "p3", "");
  AddRecord(program_, "alice", "secret", "Bank of X", "p4", "second");
  StartApp();
  DialogDriver storage = OpenStorage("alice", "secret");
  ASSERT_TRUE(storage);
  WaitRows(storage, {"bank", "mail", "shop", "Bank of X"});

  storage.Click(kFind);
  DialogDriver find = app_.WaitForDialog("Find", "find-dialog", kFindText);
  ASSERT_TRUE(find);
  {
    RECT f, l;
    GetWindowRect(find.hwnd(), &f);
    GetWindowRect(storage.Control(kList), &l);
    RECT overlap;
    EXPECT_FALSE(IntersectRect(&overlap, &f, &l));
  }
  find.SetText(kFindText, "bank");
  std::vector<int> found;
  for (int i = 0; i < 3; ++i) {
    find.Click(IDOK);
    ASSERT_TRUE(WaitUntil([&] {
      const int row = SelectedRow(storage);
      return row >= 0 && (found.empty() || row != found.back());
    })) << i;
    found.push_back(SelectedRow(storage));
    // The Find dialog stays in view, beside the list rather than over it.
    EXPECT_EQ(GetWindow(find.hwnd(), GW_OWNER), storage.hwnd());
    EXPECT_TRUE(IsWindowVisible(find.hwnd()));
  }
  EXPECT_EQ(found, (std::vector<int>{0, 1, 3}));
  SaveScreenshot(nullptr, "found");
  // After the last match: not found, and the selection stays.
  find.Click(IDOK);
  EXPECT_EQ(Answer("not-found"), "Cannot find string \\\"bank\\\"");
  EXPECT_EQ(SelectedRow(storage), 3);

  // Whole word: the cell's whole text.
  find.SetText(kFindText, "Bank");
  ASSERT_TRUE(find.SetChecked(1040, true));  // "Match &whole word only"
  find.Click(IDOK);
  EXPECT_EQ(Answer("whole-word"), "Cannot find string \\\"Bank\\\"");
  ASSERT_TRUE(find.SetChecked(1040, false));
  // Upwards with match case from the selected row.
  ASSERT_TRUE(find.SetChecked(1041, true));  // "Match &case"
  ASSERT_TRUE(find.SetChecked(1056, true));  // "&Up"
  find.Click(IDOK);
  EXPECT_TRUE(WaitUntil([&] { return SelectedRow(storage) == 3; }));
  find.Click(IDOK);
  EXPECT_EQ(Answer("up-not-found"), "Cannot find string \\\"Bank\\\"");
  find.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(find.hwnd()));

  // Ctrl+F on the list opens it again, with the last text found.
  ASSERT_TRUE(ClickRow(storage, 0));
  PressChord({VK_CONTROL, 'F'});
  find = app_.WaitForDialog("Find", "find-again", kFindText);
  ASSERT_TRUE(find);
  EXPECT_EQ(find.Text(kFindText), "Bank");
  find.Click(IDCANCEL);
  ASSERT_TRUE(WaitGone(find.hwnd()));
  CloseStorage(storage);
  EXPECT_EQ(app_.Exit(), 1u);
}

TEST_F(StorageUi, BalloonShowsTheWholeTextOfALongCell) {
  MakeAccount(program_, "alice", "secret", 1);
  const std::string note =
      "A long note that the list cannot show in its column: it holds the whole story of this "
      "password, where it is used and when it was last changed.";
  AddRecord(program_, "alice", "secret", "short", "p2", note);
  StartApp();
  DialogDriver storage = OpenStorage("alice", "secret");
  ASSERT_TRUE(storage);
  WaitRows(storage, {"owner1", "short"});
  BringToForeground(storage.hwnd());
  HWND list = storage.Control(kList);
  WindowMatch balloon;
  balloon.pid = app_.pid();
  balloon.class_name = "BALLOON";

  // A cell whose text fits shows nothing.
  MoveMouseTo(CellCenter(list, 0, 3));
  Sleep(800);
  EXPECT_EQ(FindTopLevel(balloon), nullptr);

  // The long note shows whole over its cell, inside the screen.
  const POINT cell = CellCenter(list, 1, 3);
  MoveMouseTo(POINT{cell.x + 1, cell.y});
  HWND shown = WaitForSteadyTopLevel(balloon, 5000);
  RECT r{};
  ASSERT_NE(shown, nullptr);
  ASSERT_TRUE(GetWindowRect(shown, &r));
  SaveScreenshot(nullptr, "balloon");
  EXPECT_GE(r.left, 0);
  EXPECT_LE(r.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_LE(r.top, cell.y);
  EXPECT_GE(r.bottom, cell.y);
  const RECT cell_rect = ListViewCellRects(list)[1][3];
  EXPECT_GT(r.right - r.left, cell_rect.right - cell_rect.left);

  // A click on it acts on the row below and takes it away.
  ClickAt(POINT{cell.x + 1, cell.y});
  EXPECT_TRUE(WaitUntil([&] { return SelectedRow(storage) == 1; }));
  EXPECT_TRUE(WaitGone(shown, 5000));
  // A key in the list takes a balloon away too.
  MoveMouseTo(POINT{cell.x + 3, cell.y});
  shown = WaitForSteadyTopLevel(balloon, 5000);
  ASSERT_NE(shown, nullptr);
  PressKey(VK_UP);
  EXPECT_TRUE(WaitGone(shown, 5000));
  EXPECT_TRUE(WaitUntil([&] { return SelectedRow(storage) == 0; }));
  CloseStorage(storage);
  EXPECT_EQ(app_.Exit(), 1u);
}

}  // namespace
}  // namespace qvx::e2e
