#include "shell/model/text_access.h"

#include <gtest/gtest.h>

namespace qvx::shell {
namespace {

TEST(TextAccess, OnlyStandardTextFieldsAreReadDirectly) {
  const struct {
    const char* real_class;
    std::uint32_t style;
    ControlKind kind;
  } cases[] = {
      {"Edit", 0, ControlKind::Edit},
      {"EDIT", edit_style::kReadOnly, ControlKind::Edit},
      {"RichEdit", 0, ControlKind::RichEdit},
      {"RichEdit20W", 0, ControlKind::RichEdit},
      {"RichEdit20A", 0, ControlKind::RichEdit},
      {"RICHEDIT50W", 0, ControlKind::RichEdit},
      // A password field never gives its text to another program.
      {"Edit", edit_style::kPassword, ControlKind::Other},
      {"RICHEDIT50W", edit_style::kPassword, ControlKind::Other},
      {"Chrome_RenderWidgetHostHWND", 0, ControlKind::Other},
      {"ConsoleWindowClass", 0, ControlKind::Other},
      {"Scintilla", 0, ControlKind::Other},
      {"Editor", 0, ControlKind::Other},
      {"", 0, ControlKind::Other},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.real_class);
    EXPECT_EQ(ClassifyTextControl(c.real_class, c.style), c.kind);
  }
}

TEST(TextAccess, SelectionPositionsMapIntoTheTextTheControlGives) {
  // A rich edit counts its line breaks as one position and gives them as
  // CR LF; an edit control counts what it gives.
  const std::wstring text = L"ab\r\ncd\r\nef";
  const struct {
    ControlKind kind;
    std::size_t start, end;
    TextRange range;
  } cases[] = {
      {ControlKind::Edit, 2, 7, {2, 7}},
      {ControlKind::Edit, 7, 2, {2, 7}},      // selected backwards
      {ControlKind::Edit, 0, 999, {0, 10}},   // past the end
      {ControlKind::RichEdit, 4, 7, {5, 9}},  // "d\r\ne"
      {ControlKind::RichEdit, 0, 2, {0, 2}},
      {ControlKind::RichEdit, 2, 3, {2, 4}},  // the break alone
      {ControlKind::RichEdit, 0, 8, {0, 10}},
      {ControlKind::RichEdit, 3, 3, {4, 4}},
      {ControlKind::RichEdit, 5, 999, {6, 10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.kind) << " " << c.start << "-" << c.end);
    const TextRange range = SelectionInText(text, c.start, c.end, c.kind);
    EXPECT_EQ(range, c.range);
    // And back, to select the same range again before writing.
    const auto positions = PositionsOfRange(text, range, c.kind);
    EXPECT_EQ(SelectionInText(text, positions.first, positions.second, c.kind), range);
  }
  // Text with lone CRs or LFs: each is a position of its own.
  EXPECT_EQ(SelectionInText(L"a\rb\nc", 1, 4, ControlKind::RichEdit), (TextRange{1, 4}));
}

TEST(TextAccess, AReplacementArrivedOnlyWhenTheWholeResultIsThere) {
  const std::wstring before = L"Dear Bob,\r\nmy secret\r\nRegards";
  const TextRange secret{11, 20};
  const std::wstring block = L"--- Start ---\r\nAAAA\r\n--- End ---";
  const std::wstring arrived = L"Dear Bob,\r\n" + block + L"\r\nRegards";
  const struct {
    const char* what;
    std::wstring after;
    bool arrived;
  } cases[] = {
      {"exactly", arrived, true},
      // A rich edit keeps CR alone and gives it back as CR LF or CR.
      {"rich edit breaks", L"Dear Bob,\r--- Start ---\rAAAA\r--- End ---\rRegards", true},
      {"nothing changed", before, false},
      {"cut off by a limit", L"Dear Bob,\r\n--- Start ---\r\nAA", false},
      {"pasted at the caret instead", L"Dear Bob,\r\nmy secret" + block + L"\r\nRegards", false},
      {"old clipboard pasted", L"Dear Bob,\r\nhunter2\r\nRegards", false},
      {"everything replaced", block, false},
      {"text added meanwhile", L"X" + arrived, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReplacementArrived(before, secret, block, c.after), c.arrived);
  }
  EXPECT_FALSE(ReplacementArrived(before, {5, 500}, block, block));
}

TEST(TextAccess, TextLimitsAreCheckedWithoutWrapping) {
  EXPECT_TRUE(FitsTextLimit(100, {10, 20}, 30, 120));
  EXPECT_FALSE(FitsTextLimit(100, {10, 20}, 31, 120));
  EXPECT_TRUE(FitsTextLimit(0, {0, 0}, 30000, 30000));
  EXPECT_FALSE(FitsTextLimit(0, {0, 0}, 30001, 30000));
  // Sizes that would wrap in 32 bits.
  EXPECT_FALSE(FitsTextLimit(10, {0, 0}, static_cast<std::size_t>(-5), 0x7FFFFFFE));
  EXPECT_FALSE(FitsTextLimit(10, {0, 20}, 5, 100));
}

WindowFacts Window(std::uintptr_t id, const char* cls = "Notepad") {
  WindowFacts w;
  w.id = id;
  w.class_name = cls;
  w.visible = true;
  return w;
}

template <typename Change>
WindowFacts With(WindowFacts w, Change change) {
  change(w);
  return w;
}

TEST(TextAccess, TheTargetOfATrayMenuCommandIsTheWindowTheUserWasIn) {
  const WindowFacts user = Window(10);
  const WindowFacts taskbar = Window(1, "Shell_TrayWnd");
  const WindowFacts topmost = With(Window(2, "MeetingMini"), [](WindowFacts& w) { w.topmost = true; });
  const WindowFacts tool = With(Window(3), [](WindowFacts& w) { w.tool_window = true; });
  const WindowFacts cloaked = With(Window(4), [](WindowFacts& w) { w.cloaked = true; });
  const WindowFacts owned = With(Window(5), [](WindowFacts& w) { w.owned = true; });
  const WindowFacts ours = With(Window(6, "QVX_Class"), [](WindowFacts& w) { w.ours = true; });
  const WindowFacts hidden = With(Window(7), [](WindowFacts& w) { w.visible = false; });
  const WindowFacts minimized = With(Window(8), [](WindowFacts& w) { w.minimized = true; });
  const WindowFacts menu = Window(9, "#32768");
  const std::vector<WindowFacts> crowded = {taskbar, topmost, menu, tool, cloaked, owned, ours,
                                            hidden, minimized, user, Window(11)};
  const struct {
    const char* what;
    std::optional<WindowFacts> in_front;
    std::vector<WindowFacts> order;
    std::uintptr_t target;
  } cases[] = {
      {"remembered window", user, crowded, 10},
      {"remembered topmost window the user was in", topmost, crowded, 2},
      {"taskbar in front: first normal window", taskbar, crowded, 10},
      {"nothing remembered", std::nullopt, crowded, 10},
      {"our own window in front", ours, crowded, 10},
      {"only a topmost window left", std::nullopt, {taskbar, topmost, tool}, 2},
      {"nothing at all", std::nullopt, {taskbar, tool, cloaked, hidden}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(PickTargetWindow(c.in_front, c.order), c.target);
  }
}

TEST(TextAccess, TheUsersClipboardGoesBackOnlyWhenItWasSavedAndNothingReplacedIt) {
  const struct {
    SnapshotState snapshot;
    bool still_ours, result_left, restore;
  } cases[] = {
      {SnapshotState::Taken, true, false, true},
      {SnapshotState::Taken, false, false, false},  // the user copied meanwhile
      {SnapshotState::Taken, true, true, false},    // the result stays for the user
      // A snapshot that could not be taken holds nothing: "restoring" it
      // would wipe the user's clipboard.
      {SnapshotState::Failed, true, false, false},
      {SnapshotState::NotWanted, true, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShouldRestoreClipboard(c.snapshot, c.still_ours, c.result_left), c.restore);
  }
}

TEST(TextAccess, SlowTargetsGetLongerWaits) {
  EXPECT_GE(PasteTakenWaitMs(0), 5000u);
  EXPECT_GT(PasteTakenWaitMs(2000), PasteTakenWaitMs(0) + 2000);
  EXPECT_GE(ClipboardPatienceMs(0), 2000u);
  EXPECT_GT(ClipboardPatienceMs(1000), ClipboardPatienceMs(0));
}

}  // namespace
}  // namespace qvx::shell
