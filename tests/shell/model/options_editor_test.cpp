// The edits of the Options dialog, with its backup for Cancel.
#include <gtest/gtest.h>

#include "shell/model/options_editor.h"

namespace qvx::shell {
namespace {

TEST(OptionsEditor, PreselectsTheRequestedRow) {
  for (std::size_t row = 0; row < kHotKeyCount; ++row) {
    EXPECT_EQ(OptionsEditor(Settings{}, row).selected_row(), row);
  }
  EXPECT_EQ(OptionsEditor(Settings{}, kHotKeyCount).selected_row(), 0u);
  OptionsEditor editor(Settings{}, 2);
  editor.Select(42);
  EXPECT_EQ(editor.selected_row(), 2u);
}

TEST(OptionsEditor, ModifierBoxesChangeOnlyTheSelectedRow) {
  OptionsEditor editor(Settings{}, 3);
  editor.SetModifier(kModControl, true);
  editor.SetModifier(kModShift, false);
  EXPECT_EQ(editor.selected().modifiers, kModControl | kModAlt);
  editor.SetModifier(kModAlt, false);
  editor.SetModifier(kModControl, false);
  EXPECT_EQ(editor.selected().modifiers, 0u);
  for (std::size_t row = 0; row < kHotKeyCount; ++row) {
    if (row != 3) {
      EXPECT_EQ(editor.edited().hot_keys[row], DefaultHotKeys()[row]);
    }
  }
  EXPECT_EQ(editor.backup(), Settings{});
}

TEST(OptionsEditor, KeyEdit) {
  OptionsEditor editor(Settings{}, 0);
  EXPECT_TRUE(editor.TypeKey("b"));  // the edit turns letters upper case
  EXPECT_EQ(editor.selected().key, static_cast<std::uint32_t>('B'));
  EXPECT_EQ(editor.KeyText(), "B");
  EXPECT_TRUE(editor.TypeKey(""));  // clearing the edit keeps the key
  EXPECT_EQ(editor.selected().key, static_cast<std::uint32_t>('B'));
  EXPECT_FALSE(editor.TypeKey("%"));  // refused; the key stays
  EXPECT_EQ(editor.selected().key, static_cast<std::uint32_t>('B'));
  EXPECT_TRUE(editor.TypeKey("5"));
  EXPECT_EQ(editor.selected().key, static_cast<std::uint32_t>('5'));
}

TEST(OptionsEditor, RevertRestoresEveryRowAndFlag) {
  Settings start;
  start.autorun = false;
  start.hot_keys[6] = HotKey{kModWin, 'P'};
  OptionsEditor editor(start, 0);
  for (std::size_t row : {0u, 4u, 6u, 8u}) {
    editor.Select(row);
    editor.SetModifier(kModControl, true);
    editor.SetModifier(kModAlt, false);
    editor.TypeKey("x");
  }
  editor.SetShowText(true);
  editor.SetAutorun(true);
  editor.SetLoginAtStartup(true);
  editor.SetKeepClipboard(false);
  editor.SetHideFromCapture(false);
  EXPECT_TRUE(editor.SetClearClipboardSeconds("5"));
  EXPECT_TRUE(editor.SetExtraKeyDelay("100"));
  EXPECT_NE(editor.edited(), start);
  editor.Revert();
  EXPECT_EQ(editor.edited(), start);
  EXPECT_EQ(editor.backup(), start);
}

TEST(OptionsEditor, NumberFieldsRefuseWhatTheyCannotHold) {
  OptionsEditor editor(Settings{}, 0);
  EXPECT_TRUE(editor.SetExtraKeyDelay("250"));
  EXPECT_FALSE(editor.SetExtraKeyDelay("5001"));
  EXPECT_FALSE(editor.SetExtraKeyDelay("fast"));
  EXPECT_EQ(editor.edited().safety.extra_key_delay_ms, 250u);
  EXPECT_TRUE(editor.SetClearClipboardSeconds("0"));
  EXPECT_FALSE(editor.SetClearClipboardSeconds("-3"));
  EXPECT_FALSE(editor.SetClearClipboardSeconds("3601"));
  EXPECT_EQ(editor.edited().safety.clear_clipboard_seconds, 0u);
}

}  // namespace
}  // namespace qvx::shell
