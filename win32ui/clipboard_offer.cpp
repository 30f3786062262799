// Delayed rendering of a text offered on the clipboard.
#include "win32ui/clipboard_offer.h"

namespace qvx::win32ui {

namespace {

constexpr wchar_t kWindowClass[] = L"QvxClipboardOffer";
constexpr DWORD kPollMs = 10;
// How long the target may take, once it has read the text, to answer a
// message (it is then done with the paste).
constexpr UINT kReaderAnswerMs = 5000;

// A posted-message range nobody uses: peeking with it delivers the messages
// other threads send to this one (the clipboard's requests among them)
// without taking any posted message out of this thread's queue.
constexpr UINT kNoPostedMessage = WM_APP + 0x3FF0;

void DeliverSentMessages() {
  MSG message;
  PeekMessageW(&message, nullptr, kNoPostedMessage, kNoPostedMessage, PM_NOREMOVE);
}

int IndexOf(UINT format) {
  for (int i = 0; i < 3; ++i) {
    if (ClipboardTextForms::kTextFormats[i] == format) return i;
  }
  return -1;
}

ATOM RegisterOfferClass() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;  // replaced per window
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

}  // namespace

ClipboardOffer::ClipboardOffer(std::string_view text) : forms_(text) {}

Result<std::unique_ptr<ClipboardOffer>> ClipboardOffer::Make(std::string_view text, DWORD patience_ms) {
  std::unique_ptr<ClipboardOffer> offer(new ClipboardOffer(text));
  if (RegisterOfferClass() == 0) return MakeError(Errc::Io, "the clipboard window could not be made");
  offer->window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
  if (offer->window_ == nullptr) return MakeError(Errc::Io, "the clipboard window could not be made");
  SetWindowLongPtrW(offer->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(offer.get()));
  SetWindowLongPtrW(offer->window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));

  const DWORD started = GetTickCount();
  for (;;) {
    {
      ClipboardSession clipboard(0, offer->window_);
      if (clipboard.open() && EmptyClipboard()) {
        bool all = true;
        for (UINT format : ClipboardTextForms::kTextFormats) {
          // Null data: the text is made when someone asks for it.
          SetClipboardData(format, nullptr);
        }
        HANDLE locale = offer->forms_.Block(CF_LOCALE);
        if (locale == nullptr || SetClipboardData(CF_LOCALE, locale) == nullptr) {
          if (locale != nullptr) GlobalFree(locale);
          all = false;
        }
        if (AddPrivateMarkers() && all) {
          offer->emptied_ = false;
          return offer;
        }
      }
    }
    if (GetTickCount() - started >= patience_ms) break;
    Sleep(kPollMs);
  }
  return MakeError(Errc::Io, "the text could not be put on the clipboard");
}

ClipboardOffer::~ClipboardOffer() {
  // Still on the clipboard: the system asks for everything owed as the
  // window goes (WM_RENDERALLFORMATS).
  if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT CALLBACK ClipboardOffer::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* offer = reinterpret_cast<ClipboardOffer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (offer == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_RENDERFORMAT:
      // The clipboard is open for the program that asked.
      offer->Render(static_cast<UINT>(wparam));
      if (IndexOf(static_cast<UINT>(wparam)) >= 0) offer->taken_ = true;
      return 0;
    case WM_RENDERALLFORMATS:
      offer->RenderAll();
      return 0;
    case WM_DESTROYCLIPBOARD:
      offer->emptied_ = true;
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

void ClipboardOffer::Render(UINT format) {
  const int index = IndexOf(format);
  if (index < 0 || rendered_[index]) return;
  HANDLE block = forms_.Block(format);
  if (block == nullptr) return;
  if (SetClipboardData(format, block) == nullptr) {
    GlobalFree(block);
    return;
  }
  rendered_[index] = true;
}

bool ClipboardOffer::StillOnClipboard() const {
  return !emptied_ && window_ != nullptr && GetClipboardOwner() == window_;
}

DWORD ClipboardOffer::RenderAll() {
  if (!StillOnClipboard()) return 0;
  {
    ClipboardSession clipboard(kClipboardPatienceMs, window_);
    // Someone may have copied while the clipboard was being opened.
    if (!clipboard.open() || !StillOnClipboard()) return 0;
    for (UINT format : ClipboardTextForms::kTextFormats) Render(format);
  }
  return GetClipboardSequenceNumber();
}

bool ClipboardOffer::WaitTaken(HWND reader, DWORD limit_ms) {
  const DWORD started = GetTickCount();
  while (!taken_ && StillOnClipboard() && GetTickCount() - started < limit_ms) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_SENDMESSAGE);
    DeliverSentMessages();
  }
  if (!taken_) return false;
  // The reader asks for the text while it handles the paste; once it answers
  // a message it has finished with it (and may have asked for another form).
  DWORD_PTR ignored = 0;
  if (reader != nullptr) {
    SendMessageTimeoutW(reader, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kReaderAnswerMs, &ignored);
  }
  DeliverSentMessages();
  return true;
}

}  // namespace qvx::win32ui
