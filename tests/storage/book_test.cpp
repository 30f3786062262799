// The storage window's model: filters, row texts, sorting and the actions
// with the messages they show.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>

#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "platform/settings.h"
#include "storage/book.h"
#include "tests/storage/storage_test_util.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx::storage {
namespace {

static_assert(std::is_same_v<decltype(PasswordBook::RowTexts::owner), SecureString>);
static_assert(std::is_same_v<decltype(PasswordBook::RowTexts::note), SecureString>);

using testing_util::FileBytes;
using testing_util::MakeAccount;

std::vector<std::string> RowOwners(const PasswordBook& book) {
  std::vector<std::string> out;
  for (const auto& row : book.rows()) out.emplace_back(row.contents.owner.view());
  return out;
}

class BookTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  AccountFolder folder{NativeFileSystem(), dir.path()};
  StorageSession session = MakeAccount(folder, "alice", "pw", 0);
  test::ScriptedMessages messages;
  PasswordBook book{session, messages};

  // What the window would show now: the book's notices, shown in order.
  std::vector<Msg> Told() {
    ShowNotices(messages, book.TakeNotices());
    return messages.ids();
  }

  void AddRecords() {
    ASSERT_TRUE(session.Add("Bank", "b-Pass", "savings account", 300));
    ASSERT_TRUE(session.Add("", "anonymous", "", 100));
    ASSERT_TRUE(session.Add("mail", "A-pass", "", 200));
    ASSERT_TRUE(session.Add("bank", "c-pass", "Current account", 400));
  }
};

TEST_F(BookTest, FiltersListMatchingRecordsInFileOrder) {
  AddRecords();
  struct Case {
    const char* owners;
    const char* notes;
    std::vector<std::string> listed;
  };
  const Case cases[] = {
      {"*", "*", {"Bank", "", "mail", "bank"}},          // empty owner and note pass
      {"bank", "*", {"Bank", "", "bank"}},               // case ignored; empty owner passes
      {"m*", "*", {"", "mail"}},                         // the first record rejected, later ones listed
      {"*", "current*", {"", "mail", "bank"}},           // empty notes pass
      {"b?nk", "s*", {"Bank", ""}},
      {"", "*", {""}},                                   // the empty pattern matches no text
      {"*", "", {"", "mail"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.owners << " / " << c.notes);
    book.filters = {c.owners, c.notes};
    ASSERT_TRUE(book.Reload());
    EXPECT_EQ(RowOwners(book), c.listed);
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST(CreationTime, FormatAndDayOrder) {
  const FileTime t = 133544667070000000ull;  // 9 March 2024, 14:05:07
  EXPECT_EQ(FormatCreationTime(t, "%02d.%02d.%04d  %02d:%02d:%02d", false), "03.09.2024  14:05:07");
  EXPECT_EQ(FormatCreationTime(t, "%02d.%02d.%04d  %02d:%02d:%02d", true), "09.03.2024  14:05:07");
  // The shipped string table: month first.
  EXPECT_EQ(FormatCreationTime(t), "03.09.2024  14:05:07");
  EXPECT_EQ(FormatCreationTime(0), "01.01.1601  00:00:00");
  // A format with conversions it does not know is copied, never interpreted.
  EXPECT_EQ(FormatCreationTime(t, "%s %n %x %d-%d %%", false), "%s %n %x 3-9 %");
  EXPECT_EQ(FormatCreationTime(t, "%d %d %d %d %d %d %d", false), "3 9 2024 14 5 7 %d");
  // Any stored time formats, however far out.
  EXPECT_FALSE(FormatCreationTime(~0ull).empty());
}

TEST(RecordOrder, Columns) {
  RecordContents a, b;
  a.owner = SecureString("alpha");
  b.owner = SecureString("Beta");
  a.password = SecureString("zzz");
  b.password = SecureString("AAA");
  a.created = 5;
  b.created = 7;
  a.note = SecureString("same");
  b.note = SecureString("SAME");
  struct Case {
    int column;
    bool show;
    int sign;
  };
  for (const Case c : {Case{kColumnOwner, false, -1}, Case{kColumnPassword, false, 0},
                       Case{kColumnPassword, true, 1}, Case{kColumnTime, false, -1},
                       Case{kColumnNote, true, 0}, Case{4, true, 0}, Case{-1, true, 0}}) {
    SCOPED_TRACE(testing::Message() << "column " << c.column << (c.show ? " shown" : " hidden"));
    const int r = CompareRecords(a, b, c.column, c.show);
    EXPECT_EQ((r > 0) - (r < 0), c.sign);
    const int back = CompareRecords(b, a, c.column, c.show);
    EXPECT_EQ((back > 0) - (back < 0), -c.sign);
  }
}

TEST_F(BookTest, SortingAndRowTexts) {
  AddRecords();
  ASSERT_TRUE(book.Reload());
  book.Sort(kColumnTime);
  EXPECT_EQ(RowOwners(book), (std::vector<std::string>{"", "mail", "Bank", "bank"}));
  book.Sort(kColumnOwner);  // equal owners keep their order
  EXPECT_EQ(RowOwners(book), (std::vector<std::string>{"", "Bank", "bank", "mail"}));
  book.Sort(kColumnPassword);  // hidden: nothing moves
  EXPECT_EQ(RowOwners(book), (std::vector<std::string>{"", "Bank", "bank", "mail"}));
  book.ToggleShowPasswords();
  book.Sort(kColumnPassword);
  EXPECT_EQ(RowOwners(book), (std::vector<std::string>{"mail", "", "Bank", "bank"}));

  const auto shown = book.Texts(0);
  EXPECT_EQ(shown.owner.view(), "mail");
  EXPECT_EQ(shown.password.view(), "A-pass");
  EXPECT_EQ(shown.note.view(), "");
  EXPECT_EQ(shown.created, FormatCreationTime(200));
  book.ToggleShowPasswords();
  EXPECT_EQ(book.Texts(0).password.view(), "******");
}

TEST_F(BookTest, ActionsAndTheirMessages) {
  AddRecords();
  ASSERT_TRUE(book.Reload());
  const Bytes before = FileBytes(session.path());

  // Nothing selected.
  EXPECT_FALSE(book.Delete(std::nullopt));
  EXPECT_FALSE(book.Choose(std::nullopt));
  EXPECT_EQ(book.Selected(17), nullptr);
  EXPECT_EQ(Told(), std::vector<Msg>(3, Msg::SelectItemFirst));
  messages.shown.clear();

  // Deleting asks first; Cancel keeps the record.
  messages.answers = {false};
  EXPECT_FALSE(book.Delete(1));
  EXPECT_EQ(messages.asked, std::vector<Msg>{Msg::ConfirmDeleteRecord});
  EXPECT_EQ(FileBytes(session.path()), before);
  messages.answers = {true};
  EXPECT_TRUE(book.Delete(1));
  EXPECT_EQ(RowOwners(book), (std::vector<std::string>{"Bank", "mail", "bank"}));

  // Too long a password: refused with its message, nothing written.
  const Bytes now = FileBytes(session.path());
  EXPECT_FALSE(book.Add("x", std::string(64, 'p'), ""));
  EXPECT_FALSE(book.Edit(book.rows()[0], std::string(64, 'p'), ""));
  EXPECT_FALSE(book.Add(std::string(128, 'o'), "p", ""));
  EXPECT_EQ(Told(), (std::vector<Msg>{Msg::StoragePasswordTooLong, Msg::StoragePasswordTooLong,
                                       Msg::StorageTextTooLong}));
  EXPECT_EQ(FileBytes(session.path()), now);
  messages.shown.clear();

  // Adding, editing, choosing.
  EXPECT_TRUE(book.Add("new", "new-pass", "n"));
  EXPECT_EQ(RowOwners(book).back(), "new");
  EXPECT_TRUE(book.Edit(book.rows()[1], "", "edited"));  // an empty password is accepted
  EXPECT_EQ(book.rows()[1].contents.note.view(), "edited");
  EXPECT_EQ(book.rows()[1].contents.password.view(), "");
  auto chosen = book.Choose(3);
  ASSERT_TRUE(chosen);
  EXPECT_TRUE(*chosen == PasswordToKey("new-pass"));

  // Changing the password: empty refused; otherwise the same rows again.
  EXPECT_FALSE(book.ChangePassword(""));
  EXPECT_EQ(Told(), std::vector<Msg>{Msg::EnterPassword});
  const auto owners = RowOwners(book);
  EXPECT_TRUE(book.ChangePassword("new account password"));
  EXPECT_EQ(RowOwners(book), owners);
  EXPECT_EQ(OpenAccount(folder, "alice", "pw").code(), Errc::WrongPassword);
  EXPECT_TRUE(OpenAccount(folder, "alice", "new account password"));
}

TEST_F(BookTest, CorruptedFileEmptiesTheListAndIsLeftAlone) {
  AddRecords();
  ASSERT_TRUE(book.Reload());
  Bytes data = FileBytes(session.path());
  data[36 + 484 * 2 + 20] ^= 1;  // the third record's owner
  ASSERT_TRUE(NativeFileSystem().WriteFileAtomic(session.path(), data));

  EXPECT_FALSE(book.Add("x", "y", "z"));
  EXPECT_TRUE(book.rows().empty());
  EXPECT_FALSE(book.Reload());
  EXPECT_TRUE(book.rows().empty());
  EXPECT_TRUE(messages.shown.empty()) << "the book shows nothing itself";
  Told();
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_TRUE(book.TakeNotices().empty()) << "each notice is taken once";
  for (const auto& m : messages.shown) {
    EXPECT_EQ(m.id, Msg::StorageCorrupted);
    EXPECT_EQ(m.kind, BoxKind::Error);
  }
  EXPECT_EQ(FileBytes(session.path()), data);
}

class FixedLogin final : public LoginDialogRunner {
 public:
  FixedLogin(const AccountFolder& folder, std::string password) : folder_(folder), password_(std::move(password)) {}
  std::optional<StorageSession> RunLoginDialog() override {
    ++runs;
    auto session = OpenAccount(folder_, "alice", password_);
    if (!session) return std::nullopt;
    return std::move(session).value();
  }
  int runs = 0;

 private:
  const AccountFolder& folder_;
  std::string password_;
};

class ScriptedWindow final : public StorageWindowRunner {
 public:
  StorageWindowResult RunStorageWindow(PasswordBook& book, bool choosing) override {
    ++runs;
    seen_rows = book.rows().size();
    seen_choosing = choosing;
    seen_show = book.show_passwords;
    seen_filters = book.filters.owners + "|" + book.filters.notes;
    return act ? act(book) : StorageWindowResult{};
  }
  std::function<StorageWindowResult(PasswordBook&)> act;
  int runs = 0;
  std::size_t seen_rows = 0;
  bool seen_choosing = false, seen_show = false;
  std::string seen_filters;
};

TEST_F(BookTest, OpeningTheStorageWindow) {
  AddRecords();
  auto settings = OpenFileSettings(dir.File("settings.txt"));
  StorageLogin login;
  ScriptedWindow window;

  // Login cancelled: no window.
  FixedLogin refused(folder, "wrong");
  EXPECT_FALSE(OpenPasswordStorage(login, settings.get(), refused, window, messages, nullptr));
  EXPECT_EQ(window.runs, 0);

  // Browsing: logs in, shows every record with "*" filters and the setting,
  // writes the setting back, stays logged in.
  FixedLogin dialog(folder, "pw");
  ASSERT_TRUE(settings->WriteDword(kShowPasswordsSetting, 1));
  window.act = [](PasswordBook& book) {
    book.ToggleShowPasswords();
    return StorageWindowResult{};
  };
  EXPECT_TRUE(OpenPasswordStorage(login, settings.get(), dialog, window, messages, nullptr));
  EXPECT_EQ(window.seen_rows, 4u);
  EXPECT_FALSE(window.seen_choosing);
  EXPECT_TRUE(window.seen_show);
  EXPECT_EQ(window.seen_filters, "*|*");
  EXPECT_EQ(*settings->ReadDword(kShowPasswordsSetting), 0u);
  EXPECT_TRUE(login.LoggedIn());

  // Choosing: the key of the chosen row; closing without a choice gives none.
  // The login survives; no second login dialog.
  window.act = [](PasswordBook& book) { return StorageWindowResult{book.Choose(2), false}; };
  Key256 chosen;
  EXPECT_TRUE(OpenPasswordStorage(login, settings.get(), dialog, window, messages, &chosen));
  EXPECT_TRUE(window.seen_choosing);
  EXPECT_TRUE(chosen == PasswordToKey("A-pass"));
  window.act = nullptr;
  EXPECT_FALSE(OpenPasswordStorage(login, settings.get(), dialog, window, messages, &chosen));
  EXPECT_EQ(dialog.runs, 1);

  // Logout from the window ends the login.
  window.act = [](PasswordBook&) { return StorageWindowResult{std::nullopt, true}; };
  EXPECT_TRUE(OpenPasswordStorage(login, settings.get(), dialog, window, messages, nullptr));
  EXPECT_FALSE(login.LoggedIn());
}

}  // namespace
}  // namespace qvx::storage
