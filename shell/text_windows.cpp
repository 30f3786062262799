// The text viewer and the window that shows the original text.
#include "shell/text_windows.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/capture_ids.h"
#include "shell/model/crypt_command.h"
#include "shell/model/viewer_fill.h"
#include "shell/text_capture.h"
#include "win32ui/anchored_layout.h"
#include "win32ui/clipboard_text.h"
#include "win32ui/dialog.h"
#include "win32ui/message_box.h"
#include "win32ui/save_file_dialog.h"
#include "win32ui/screen_privacy.h"
#include "win32ui/tooltips.h"
#include "win32ui/win32_util.h"

namespace qvx::shell {

namespace {

HINSTANCE ProgramInstance() { return GetModuleHandleA(nullptr); }

// What EM_STREAMIN reads from: the rest of a text.
struct StreamSource {
  std::string_view rest;
};

DWORD CALLBACK ReadStreamed(DWORD_PTR cookie, LPBYTE bytes, LONG room, LONG* done) {
  auto& source = *reinterpret_cast<StreamSource*>(cookie);
  const std::size_t n = std::min(source.rest.size(), static_cast<std::size_t>(room));
  std::copy_n(source.rest.data(), n, bytes);
  source.rest.remove_prefix(n);
  *done = static_cast<LONG>(n);
  return 0;
}

// Fills a rich edit control with a text. Streamed in, a megabyte takes the
// control about a tenth of the time WM_SETTEXT needs under Wine (2 s instead
// of 20), with the same characters and line breaks; and the text needs no
// terminated copy.
void SetControlText(HWND control, std::string_view text) {
  SendMessageA(control, EM_LIMITTEXT, 0x7FFFFFFF, 0);
  StreamSource source{text};
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = &ReadStreamed;
  SendMessageA(control, EM_STREAMIN, SF_TEXT, reinterpret_cast<LPARAM>(&stream));
}

// Adds a text at the end of a rich edit control without disturbing the user:
// the selection and the lines in view stay as they were, except that a
// selection reaching the end grows with the text (so "Select all" still
// selects all), and nothing goes into the undo history.
void AppendControlText(HWND control, std::string_view text) {
  CHARRANGE selection{};
  SendMessageA(control, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  const LRESULT first_line = SendMessageA(control, EM_GETFIRSTVISIBLELINE, 0, 0);
  const auto end = static_cast<LONG>(SendMessageA(control, WM_GETTEXTLENGTH, 0, 0));
  SendMessageA(control, WM_SETREDRAW, FALSE, 0);
  CHARRANGE at{end, end};
  SendMessageA(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&at));
  StreamSource source{text};
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = &ReadStreamed;
  SendMessageA(control, EM_STREAMIN, SF_TEXT | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream));
  SendMessageA(control, EM_EMPTYUNDOBUFFER, 0, 0);
  if (selection.cpMin < selection.cpMax && selection.cpMax >= end) {
    selection.cpMax = static_cast<LONG>(SendMessageA(control, WM_GETTEXTLENGTH, 0, 0));
  }
  SendMessageA(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  const LRESULT now_first = SendMessageA(control, EM_GETFIRSTVISIBLELINE, 0, 0);
  SendMessageA(control, EM_LINESCROLL, 0, first_line - now_first);
  SendMessageA(control, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(control, nullptr, TRUE);
}

// Sent to a text window before its text is read as a whole: a viewer still
// taking in a long text takes in the rest first.
constexpr UINT kFinishFillMessage = WM_APP + 0x51;
// Posted by the viewer to itself for the next part of a long text.
constexpr UINT kFillStepMessage = WM_APP + 0x52;

// Overwrites the control's text in place with a filler of the same length
// (the control reuses its buffer), forgets the undo history that still holds
// the old text, and empties the control. Taking a text out of the rich edit
// control costs time that grows with its length (over a minute for 1 MB
// under Wine), so a text longer than 64 KB is left to go with the window:
// only its undo history is dropped.
void WipeControlText(HWND control) {
  constexpr LRESULT kLongestWipe = 64 * 1024;
  SendMessageA(control, EM_EMPTYUNDOBUFFER, 0, 0);
  const LRESULT n = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
  if (n <= 0 || n > kLongestWipe) return;
  SendMessageA(control, WM_SETREDRAW, FALSE, 0);
  const std::string filler(static_cast<std::size_t>(n), 'x');
  SendMessageA(control, EM_SETSEL, 0, -1);
  SendMessageA(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(filler.c_str()));
  SendMessageA(control, EM_EMPTYUNDOBUFFER, 0, 0);
  SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
}

// Collects what EM_STREAMOUT hands out into the SecureString at `cookie`.
DWORD CALLBACK AppendStreamed(DWORD_PTR cookie, LPBYTE bytes, LONG count, LONG* done) {
  reinterpret_cast<SecureString*>(cookie)->append(
      std::string_view(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count)));
  *done = count;
  return 0;
}

// The selected text of a rich edit control (its line breaks as CR LF).
SecureString SelectedText(HWND control) {
  SecureString text;
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&text);
  stream.pfnCallback = &AppendStreamed;
  SendMessageA(control, EM_STREAMOUT, SF_TEXT | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream));
  return text;
}

// Copies and cuts in a control that shows a plaintext go through the program
// rather than the control: the selection is put on the clipboard as plain
// text, fully rendered, marked private and cleared later. The control's own
// copy would offer it in formats rendered only when another program asks,
// and each rendering changes the clipboard, so the text could no longer be
// told apart from a later copy of the user's and would never be cleared.
// Covers the Edit menu (WM_COPY, WM_CUT) and the keys (Ctrl+C, Ctrl+Insert,
// Ctrl+X, Shift+Delete).
class PrivateCopies {
 public:
  static void Attach(HWND control) { SetWindowSubclass(control, &Proc, kSubclassId, 0); }

 private:
  static constexpr UINT_PTR kSubclassId = 0x5156;

  static void Copy(HWND control) {
    SendMessageA(GetParent(control), kFinishFillMessage, 0, 0);
    const SecureString text = SelectedText(control);
    if (text.empty()) return;
    DWORD sequence = 0;
    if (win32ui::WriteClipboardText(text.view(), &sequence)) {
      win32ui::ClearClipboardLater(sequence, CurrentSafetyOptions().clear_clipboard_seconds);
    }
  }

  static void Cut(HWND control) {
    if ((GetWindowLongPtrA(control, GWL_STYLE) & ES_READONLY) != 0) return;
    Copy(control);
    SendMessageA(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(""));
  }

  static LRESULT CALLBACK Proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam,
                               UINT_PTR, DWORD_PTR) {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    switch (message) {
      case WM_COPY:
        Copy(control);
        return 0;
      case WM_CUT:
        Cut(control);
        return 0;
      case WM_KEYDOWN:
        if (ctrl && !shift && (wparam == 'C' || wparam == VK_INSERT)) {
          Copy(control);
          return 0;
        }
        if ((ctrl && !shift && wparam == 'X') || (shift && !ctrl && wparam == VK_DELETE)) {
          Cut(control);
          return 0;
        }
        break;
      case WM_CHAR:
        // The control characters the keys above type.
        if (ctrl && (wparam == 0x03 || wparam == 0x18)) return 0;
        break;
      case WM_NCDESTROY:
        RemoveWindowSubclass(control, &Proc, kSubclassId);
        break;
      default:
        break;
    }
    return DefSubclassProc(control, message, wparam, lparam);
  }
};

class TextViewer final : public win32ui::ModalDialog {
 public:
  TextViewer(SecureString text, const WindowIdentity& target, std::shared_ptr<OperationGate> gate,
             OperationTrace trace, std::string caption)
      : text_(std::move(text)),
        target_(target),
        gate_(std::move(gate)),
        trace_(std::move(trace)),
        caption_(std::move(caption)) {}

  void Show() { Run(ProgramInstance(), IDD_TEXT_VIEWER); }

 protected:
  bool OnInit() override {
    trace_.Mark("viewer opened");
    win32ui::ProtectFromCapture(window(), StoredCapturePolicy{});
    if (!caption_.empty()) SetWindowTextA(window(), caption_.c_str());
    HWND edit = Item(IDC_VIEWER_TEXT);
    PrivateCopies::Attach(edit);
    parts_ = ViewerFillParts(text_.view(), kFirstPart, kFillStep);
    SetControlText(edit, text_.view().substr(0, parts_.empty() ? 0 : parts_[0]));
    trace_.Mark("viewer shows text");
    next_part_ = 1;
    if (next_part_ < parts_.size()) {
      // The rest follows in steps; meanwhile the text cannot be edited, so
      // that nothing typed mixes with what is still coming.
      SendMessageA(edit, EM_SETREADONLY, TRUE, 0);
      PostMessageA(window(), kFillStepMessage, 0, 0);
    } else {
      FillDone();
    }
    // Anchored to the layout of the resource, before the menu bar takes its
    // room from the client area.
    layout_.Add(window(), IDC_VIEWER_GROUP,
                win32ui::AnchoredLayout::Left | win32ui::AnchoredLayout::Top | win32ui::AnchoredLayout::Right);
    layout_.Add(window(), IDOK, win32ui::AnchoredLayout::Right | win32ui::AnchoredLayout::Top);
    layout_.Add(window(), IDC_VIEWER_TEXT, win32ui::AnchoredLayout::Left | win32ui::AnchoredLayout::Top |
                                               win32ui::AnchoredLayout::Right | win32ui::AnchoredLayout::Bottom);
    layout_.Start(window());
    menu_ = LoadMenuA(instance(), MAKEINTRESOURCEA(IDR_VIEWER_MENU));
    if (menu_ != nullptr) SetMenu(window(), menu_);
    RECT client{};
    GetClientRect(window(), &client);
    layout_.Apply(client.right - client.left, client.bottom - client.top);
    if (target_.window == 0) {
      EnableWindow(Item(IDC_VIEWER_PAST_BACK), FALSE);
      EnableWindow(Item(IDC_VIEWER_PAST_BACK_CLOSE), FALSE);
      if (HMENU action = GetSubMenu(menu_, VIEWER_MENU_ACTION_POS)) {
        EnableMenuItem(action, 0, MF_BYPOSITION | MF_GRAYED);
        EnableMenuItem(action, 2, MF_BYPOSITION | MF_GRAYED);
      }
    }
    win32ui::AttachTooltips(window(), {{IDC_VIEWER_SAVE, Msg::TipSave},
                              {IDC_VIEWER_PAST_BACK, Msg::TipPastBack},
                              {IDC_VIEWER_PAST_BACK_CLOSE, Msg::TipPastBackClose},
                              {IDOK, Msg::TipClose}});
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, 0);
    return false;
  }

  void OnCommand(int id, int) override {
    HWND edit = Item(IDC_VIEWER_TEXT);
    switch (id) {
      case IDOK:
      case IDCANCEL:
      case IDM_VIEWER_CLOSE:
        Close();
        break;
      case IDM_VIEWER_UNDO: SendMessageA(edit, WM_UNDO, 0, 0); break;
      case IDM_VIEWER_CUT:
        SendMessageA(edit, WM_CUT, 0, 0);
        break;
      case IDM_VIEWER_COPY:
        SendMessageA(edit, WM_COPY, 0, 0);
        break;
      case IDM_VIEWER_PASTE: SendMessageA(edit, WM_PASTE, 0, 0); break;
      case IDM_VIEWER_DELETE: SendMessageA(edit, WM_CLEAR, 0, 0); break;
      case IDM_VIEWER_SELECT_ALL: SendMessageA(edit, EM_SETSEL, 0, -1); break;
      case IDM_VIEWER_PAST_BACK_CLOSE:
        PostMessageA(window(), WM_COMMAND, IDC_VIEWER_PAST_BACK_CLOSE, 0);
        break;
      case IDM_VIEWER_PAST_BACK:
        PostMessageA(window(), WM_COMMAND, IDC_VIEWER_PAST_BACK, 0);
        break;
      case IDC_VIEWER_PAST_BACK:
        PastBack(false);
        break;
      case IDC_VIEWER_PAST_BACK_CLOSE:
        PastBack(true);
        break;
      case IDC_VIEWER_SAVE:
      case IDM_VIEWER_SAVE:
        Save();
        break;
      default:
        break;
    }
  }

  void OnClose() override { Close(); }

  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR& result) override {
    switch (message) {
      case WM_SIZE:
        if (wparam != SIZE_MINIMIZED) layout_.Apply(LOWORD(lparam), HIWORD(lparam));
        result = 0;
        return true;
      case WM_GETMINMAXINFO:
        layout_.Limit(*reinterpret_cast<MINMAXINFO*>(lparam));
        result = 0;
        return true;
      case kFillStepMessage:
        FillStep();
        result = 0;
        return true;
      case kFinishFillMessage:
        while (next_part_ < parts_.size()) FillStep();
        result = 0;
        return true;
      case WM_CONTEXTMENU:
        // A right click on the text (or Shift+F10 in it) opens the Edit menu.
        if (reinterpret_cast<HWND>(wparam) == Item(IDC_VIEWER_TEXT) && menu_ != nullptr) {
          ShowEditMenu(lparam);
          result = 0;
          return true;
        }
        return false;
      default:
        return false;
    }
  }

 private:
  // The first part of a long text shows at once; the rest goes in by steps
  // of this size, each a fraction of a second.
  static constexpr std::size_t kFirstPart = 64 * 1024;
  static constexpr std::size_t kFillStep = 256 * 1024;

  // Adds the next part; posts the step after it, or ends the fill.
  void FillStep() {
    if (next_part_ >= parts_.size()) return;
    const std::size_t from = parts_[next_part_ - 1];
    AppendControlText(Item(IDC_VIEWER_TEXT), text_.view().substr(from, parts_[next_part_] - from));
    ++next_part_;
    if (next_part_ < parts_.size()) {
      PostMessageA(window(), kFillStepMessage, 0, 0);
    } else {
      SendMessageA(Item(IDC_VIEWER_TEXT), EM_SETREADONLY, FALSE, 0);
      FillDone();
    }
  }

  void FillDone() {
    trace_.Mark("viewer filled", std::to_string(text_.size()) + " bytes");
    text_.clear();  // the control holds it now
    parts_.clear();
    next_part_ = 0;
  }

  // At the mouse, or for the keyboard (no position) at the text's corner.
  void ShowEditMenu(LPARAM at) {
    POINT point{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    if (at == -1) {
      RECT r{};
      GetWindowRect(Item(IDC_VIEWER_TEXT), &r);
      point = {r.left + 8, r.top + 8};
    }
    TrackPopupMenu(GetSubMenu(menu_, VIEWER_MENU_EDIT_POS), TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x,
                   point.y, 0, window(), nullptr);
  }

  void PastBack(bool close) {
    if (target_.window == 0) return;
    win32ui::MessageBoxes messages(instance());
    auto operation = TextOperation::Begin(gate_, messages, "past back");
    if (!operation) return;
    FinishFill();
    const SecureString text = win32ui::SecretWindowText(Item(IDC_VIEWER_TEXT));
    // The viewer's text is a plaintext: it goes only to the window it came
    // from, and what stays on the clipboard is cleared after a while.
    const Status put = operation->PutBack(target_, text.view(), true);
    if (!put) {
      messages.Show(PutBackFailureMessage(put.code()),
                    put.code() == Errc::Interrupted ? BoxKind::Warning : BoxKind::Error);
      return;
    }
    if (close) {
      Sleep(10);
      Close();
    }
  }

  void Save() {
    win32ui::MessageBoxes messages(instance());
    FinishFill();
    const SecureString text = win32ui::SecretWindowText(Item(IDC_VIEWER_TEXT));
    win32ui::SaveTextFileDialog(window(), win32ui::TextFileRequest(), text.data(), text.size(), messages);
  }

  void FinishFill() { SendMessageA(window(), kFinishFillMessage, 0, 0); }

  void Close() {
    text_.clear();
    parts_.clear();
    next_part_ = 0;
    WipeControlText(Item(IDC_VIEWER_TEXT));
    // The menu goes with the window; detach it first so it is destroyed once.
    if (menu_ != nullptr) {
      SetMenu(window(), nullptr);
      DestroyMenu(menu_);
      menu_ = nullptr;
    }
    End(IDOK);
  }

  SecureString text_;
  WindowIdentity target_;
  std::shared_ptr<OperationGate> gate_;
  OperationTrace trace_;
  std::string caption_;
  // The ends of the text's parts (ViewerFillParts) and the next one to add
  // while a long text is still going in.
  std::vector<std::size_t> parts_;
  std::size_t next_part_ = 0;
  HMENU menu_ = nullptr;
  win32ui::AnchoredLayout layout_;
};

class ConfirmTextDialog final : public win32ui::ModalDialog {
 public:
  explicit ConfirmTextDialog(std::string_view text) : text_(text) {}

  bool Ask() {
    Run(ProgramInstance(), IDD_CONFIRM_TEXT);
    return right_;
  }

 protected:
  bool OnInit() override {
    win32ui::ProtectFromCapture(window(), StoredCapturePolicy{});
    SetControlText(Item(IDC_CONFIRM_TEXT), text_);
    PrivateCopies::Attach(Item(IDC_CONFIRM_TEXT));
    win32ui::AttachTooltips(window(), {{IDOK, Msg::TipRightText}, {IDCANCEL, Msg::TipWrongText}});
    layout_.Add(window(), IDC_CONFIRM_TEXT, win32ui::AnchoredLayout::Left | win32ui::AnchoredLayout::Top |
                                                win32ui::AnchoredLayout::Right | win32ui::AnchoredLayout::Bottom);
    layout_.Add(window(), IDOK, win32ui::AnchoredLayout::Right | win32ui::AnchoredLayout::Bottom);
    layout_.Add(window(), IDCANCEL, win32ui::AnchoredLayout::Right | win32ui::AnchoredLayout::Bottom);
    layout_.Start(window());
    SetFocus(Item(IDOK));
    return false;
  }

  void OnCommand(int id, int) override {
    if (id == IDOK || id == IDCANCEL) {
      right_ = id == IDOK;
      WipeControlText(Item(IDC_CONFIRM_TEXT));
      End(id);
    }
  }

  void OnClose() override { OnCommand(IDCANCEL, 0); }

  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR& result) override {
    if (message == WM_SIZE && wparam != SIZE_MINIMIZED) {
      layout_.Apply(LOWORD(lparam), HIWORD(lparam));
      result = 0;
      return true;
    }
    if (message == WM_GETMINMAXINFO) {
      layout_.Limit(*reinterpret_cast<MINMAXINFO*>(lparam));
      result = 0;
      return true;
    }
    return false;
  }

 private:
  std::string_view text_;
  bool right_ = false;
  win32ui::AnchoredLayout layout_;
};

}  // namespace

bool ShowTextViewer(const SecureString& text, const WindowIdentity& target,
                    std::shared_ptr<OperationGate> gate, OperationTrace trace,
                    std::string caption) {
  auto viewer = std::make_shared<TextViewer>(text, target, std::move(gate), std::move(trace),
                                             std::move(caption));
  return win32ui::StartDetachedThread([viewer] { viewer->Show(); });
}


bool ConfirmOriginalText(std::string_view text) {
  ConfirmTextDialog dialog(text);
  return dialog.Ask();
}

}  // namespace qvx::shell
