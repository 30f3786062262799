// The decisions behind taking text from another program's window and putting
// a result back, apart from the Win32 calls that gather their inputs:
//
// - which focused controls are read and written directly through their own
//   window messages (standard edit and rich edit fields) and which through
//   the clipboard and keystrokes;
// - where a control's selection lies in the text it gives (a rich edit counts
//   a line break as one position but hands its text out with CR LF);
// - whether a result written back really arrived;
// - which window a tray-menu command works on;
// - when the user's clipboard, borrowed for the clipboard path, is put back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::shell {

// ---------------------------------------------------------------- controls

enum class ControlKind {
  Edit,      // the system's edit control: positions count every character
  RichEdit,  // a rich edit control: a line break is one position
  Other,     // anything else: browsers, custom controls, consoles
};

// Edit-control styles that matter here (the values Windows defines).
namespace edit_style {
inline constexpr std::uint32_t kPassword = 0x0020;  // ES_PASSWORD
inline constexpr std::uint32_t kReadOnly = 0x0800;  // ES_READONLY
}  // namespace edit_style

// The kind of a control by its real class name (the system class it was made
// from, so superclassed fields of other frameworks count too; compared
// without regard to case). Password fields are never read (Windows hides
// their text from other programs anyway), so they count as Other.
ControlKind ClassifyTextControl(std::string_view real_class, std::uint32_t style);

// A range [begin, end) of UTF-16 code units in a text.
struct TextRange {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t size() const { return end - begin; }
  bool empty() const { return begin == end; }
  friend bool operator==(const TextRange& a, const TextRange& b) {
    return a.begin == b.begin && a.end == b.end;
  }
};

// Where the control's selection [start, end) (its own positions, in either
// order) lies in the text it gave. In a rich edit a CR LF pair in the text is
// one position. Positions past the end stop at the end.
TextRange SelectionInText(std::wstring_view text, std::size_t start, std::size_t end, ControlKind kind);

// The control's positions of a range of its text: the inverse of
// SelectionInText, to select that range again before writing.
std::pair<std::size_t, std::size_t> PositionsOfRange(std::wstring_view text, TextRange range,
                                                     ControlKind kind);

// Whether the text now in the control is the text before with `replaced`
// replaced by `inserted`. Line breaks may come back in another form (a rich
// edit keeps CR alone), so CR LF, CR and LF all count as the same break.
bool ReplacementArrived(std::wstring_view before, TextRange replaced, std::wstring_view inserted,
                        std::wstring_view after);

// Whether a control that holds at most `limit` characters can take the
// replacement whole (a field would cut a longer one off silently).
bool FitsTextLimit(std::size_t length, TextRange replaced, std::size_t inserted, std::size_t limit);

// ----------------------------------------------------------------- targets

// What is known of one top-level window when the program looks for the
// window a command should work on.
struct WindowFacts {
  std::uintptr_t id = 0;
  std::string class_name;
  bool visible = false;
  bool minimized = false;
  bool tool_window = false;  // WS_EX_TOOLWINDOW: palettes, floating bars
  bool topmost = false;      // WS_EX_TOPMOST: meeting mini-windows, picture-in-picture
  bool cloaked = false;      // hidden by the window manager (other virtual desktops, suspended apps)
  bool owned = false;        // has an owner window: dialogs and pop-ups of another window
  bool ours = false;         // belongs to this program
};

// Whether a window can be the user's text window: visible, not minimised, not
// ours, not the taskbar, the desktop or a menu, not a tool, cloaked or owned
// window. Topmost windows are a last resort (see PickTargetWindow).
bool CanHoldUsersText(const WindowFacts& window);

// The window a tray-menu command works on: the window that was in front when
// the menu opened, when it can hold the user's text; otherwise the first
// window from the top of the stacking order that can, where topmost windows
// (which sit above every normal window whether the user works in them or
// not) are taken only when no other window qualifies. 0 when none can.
std::uintptr_t PickTargetWindow(const std::optional<WindowFacts>& in_front_at_menu,
                                const std::vector<WindowFacts>& stacking_order);

// ---------------------------------------------------------------- clipboard

// The user's clipboard as the operation found it.
enum class SnapshotState {
  NotWanted,  // "Keep my clipboard" is off
  Taken,      // saved, to be put back
  Failed,     // could not be read: there is nothing to put back
};

// Whether the saved clipboard goes back now: only a snapshot that was taken,
// only while the clipboard still holds what the operation put there (anything
// copied meanwhile is the user's), and never over a result left there for the
// user to paste himself.
bool ShouldRestoreClipboard(SnapshotState snapshot, bool clipboard_still_ours, bool result_left_for_user);

// How long the clipboard path waits for the target to read a pasted result
// before it counts the paste as ignored: remote-desktop and virtual-machine
// windows and web mail editors read late, and the user's extra key delay
// says his targets are slow.
std::uint32_t PasteTakenWaitMs(std::uint32_t extra_delay_ms);

// How long a clipboard that another program holds open is waited for when
// the program reads or writes it.
std::uint32_t ClipboardPatienceMs(std::uint32_t extra_delay_ms);

}  // namespace qvx::shell
