// A copy of Quorvix.exe in a fresh folder of its own, so that each test has
// its own key store ("public", "privat") and associations file beside the
// program; keys are made there directly through the key store for tests that
// start from existing keys.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "keys/generate.h"
#include "keys/key_store.h"
#include "tests/support/e2e/e2e.h"

namespace qvx::e2e {

class KeyFolder {
 public:
  KeyFolder();
  KeyFolder(const KeyFolder&) = delete;
  KeyFolder& operator=(const KeyFolder&) = delete;
  ~KeyFolder();

  const std::string& path() const { return path_; }
  std::string program() const { return path_ + "\\Quorvix.exe"; }
  const KeyStore& store() const { return store_; }

  // Starts this copy and waits for its main window.
  Quorvix Start(const std::string& args = {}) const;

  // A 1024-bit pair written into the store, protected when a password is given.
  GeneratedKey MakeKey(const std::string& owner, const std::string& note = {},
                       const std::optional<std::string>& password = std::nullopt) const;

  // Names of the files in "public" or "privat".
  std::vector<std::string> Files(std::string_view subfolder) const;

 private:
  std::string path_;
  KeyStore store_;
};

// Rows of a dialog's key list (control 1017) without the selection mark.
std::vector<std::vector<std::string>> KeyRows(const DialogDriver& dialog);
// Selects a row of a dialog's key list with the keyboard, as a user would.
void SelectKeyRow(const DialogDriver& dialog, int row);
// Ticks the check box of a row of a dialog's key list with the space bar, as
// a user would, and waits until the tick shows.
void TickKeyRow(const DialogDriver& dialog, int row);
// Whether a row of a dialog's key list shows a tick.
bool KeyRowTicked(const DialogDriver& dialog, int row);
// Clicks a column header of a dialog's key list.
void ClickKeyColumn(const DialogDriver& dialog, int column);
// Chooses row `row` in the "Key Selection" dialog that is showing and presses
// OK; false when no such dialog showed.
bool ChooseKey(Quorvix& app, int row, const std::string& what);
// Answers a password dialog of that title with a password.
bool AnswerPassword(Quorvix& app, const std::string& title, const std::string& password,
                    const std::string& what);
// Sends a text command (a hot key or a menu command) and waits until it shows
// it has started (`started`). The previous text command may still be ending
// after its last window closed; a command sent then is refused ("Quorvix is
// still working on another text...", or a beep while keys are played), so the
// refusal is answered and the command sent again. A command that the program
// evidently took (the clipboard changed) is waited for instead.
bool SendTextCommand(Quorvix& app, const std::function<void()>& send,
                     const std::function<bool()>& started);
// A dialog of that title as the sign that a command started.
std::function<bool()> DialogShows(Quorvix& app, const std::string& title);
// A message box with that text as the sign.
std::function<bool()> BoxShows(Quorvix& app, const std::string& text);
// Types a file path into the system's Open or Save As dialog and confirms.
bool AnswerFileDialog(Quorvix& app, const std::string& title, const std::string& path);

}  // namespace qvx::e2e
