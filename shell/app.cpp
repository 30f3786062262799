// The tray application: start-up, main window, tray, hot keys and the shell's
// own commands.
#include "shell/app.h"

#include <commctrl.h>
#include <shellapi.h>

#include "platform/files.h"
#include "platform/system.h"
#include "resources/shell_ids.h"
#include "win32ui/clipboard_text.h"
#include "shell/options_dialog.h"
#include "shell/small_dialogs.h"
#include "shell/text_capture.h"
#include "shell/tray_menu.h"
#include "win32ui/win32_util.h"

namespace qvx::shell {

namespace {

constexpr const char* kHelpFile = "QVX Help.chm";

// Clears a flag when the scope ends.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;
  ~FlagScope() { flag_ = false; }

 private:
  bool& flag_;
};

// Remembers the open instance of a window that exists at most once.
template <class T>
class OpenScope {
 public:
  OpenScope(T*& slot, T* value) : slot_(slot) { slot_ = value; }
  OpenScope(const OpenScope&) = delete;
  OpenScope& operator=(const OpenScope&) = delete;
  ~OpenScope() { slot_ = nullptr; }

 private:
  T*& slot_;
};

void BringForward(win32ui::ModalDialog* dialog) {
  if (dialog != nullptr && dialog->window() != nullptr) SetForegroundWindow(dialog->window());
}

}  // namespace

App::App(HINSTANCE instance, SettingsStore& store, win32ui::MessageBoxes& messages,
         StartupLogin& startup_login)
    : instance_(instance),
      store_(store),
      messages_(messages),
      startup_login_(startup_login),
      router_(
          [this](CommandRouter::Handler handler) {
            if (!win32ui::StartDetachedThread(std::move(handler))) {
              messages_.Show(Msg::MemoryAllocationError, BoxKind::Error);
            }
          },
          [this](const CommandRouter::Unbound& what) { ReportUnavailable(what); }) {
  BindShellCommands();
}

App::~App() {
  tray_.reset();
  hot_keys_.reset();
  if (window_ != nullptr) DestroyWindow(window_);
  if (rich_edit_ != nullptr) FreeLibrary(rich_edit_);
}

int App::Run(bool autostart) {
  // One tray instance per desktop, recognised by the main window's class.
  if (FindWindowA(kWindowClass, nullptr) != nullptr) {
    messages_.Show(Msg::MultipleInstances, BoxKind::Error);
    return 0;
  }
  tray_message_ = RegisterWindowMessageA(kTrayMessageName);
  taskbar_created_message_ = RegisterWindowMessageA("TaskbarCreated");

  // The viewer windows use the RichEdit 1.0 control.
  rich_edit_ = LoadLibraryA("RICHED32.DLL");
  if (rich_edit_ == nullptr) {
    messages_.Show(Msg::LibraryMissing, BoxKind::Error, "RICHED32.DLL");
    return 0;
  }

  settings_ = LoadSettings(store_);
  // "Launch program at startup" off: the instance started at logon quits.
  if (autostart && !settings_.autorun) return 0;

  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);

  return RunMainWindow();
}

void App::BindShellCommands() {
  for (std::size_t row = 0; row < kHotKeyCount; ++row) {
    router_.BindCommand(static_cast<std::uint16_t>(row), [this, row] { OpenOptions(row); });
  }
  router_.BindCommand(IDM_OPTIONS, [this] { OpenOptions(0); });
  router_.BindCommand(IDM_HELP, [this] { ShowHelp(); });
  router_.BindCommand(IDM_ABOUT, [this] { ShowAbout(); });
  router_.BindCommand(IDM_EXIT, [this] { SendMessageA(window_, WM_CLOSE, 0, 0); });
  router_.BindCommand(IDM_SWITCH_TO_RSA, [this] { SwitchMode(CryptoMode::RsaKeys); });
  router_.BindCommand(IDM_SWITCH_TO_PASSWORD, [this] { SwitchMode(CryptoMode::Password); });
  // The switch hot key toggles, whatever the menu shows.
  router_.BindHotKey(HotKeyId::SwitchMode, [this] {
    SendMessageA(window_, WM_COMMAND,
                 settings_.mode == CryptoMode::RsaKeys ? IDM_SWITCH_TO_PASSWORD : IDM_SWITCH_TO_RSA, 0);
  });
}

int App::RunMainWindow() {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &App::WindowProc;
  wc.hInstance = instance_;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = MAKEINTRESOURCEA(IDR_TRAY_MENU);
  wc.lpszClassName = kWindowClass;
  if (RegisterClassExA(&wc) == 0) return 0;
  // The window is never shown: it owns the tray icon, the hot keys and the
  // two tray menus (its class menu).
  if (CreateWindowExA(0, kWindowClass, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                      nullptr, nullptr, instance_, this) == nullptr) {
    return 0;
  }
  ShowWindow(window_, SW_HIDE);
  tray_ = std::make_unique<TrayIcon>(window_, tray_message_, messages_.Text(Msg::TrayTip));
  tray_->Add(TrayIconFor(settings_.mode));
  // Adding the icon waits for Explorer, and a WM_CLOSE sent meanwhile has
  // already been handled: take the icon away again.
  if (closing_) tray_->Remove();
  UpdateWindow(window_);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 1;
}

LRESULT CALLBACK App::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* app = static_cast<App*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
    app->window_ = window;
  }
  auto* app = reinterpret_cast<App*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (app == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  return win32ui::NoThrow<LRESULT>(0, [&] { return app->Handle(message, wparam, lparam); });
}

LRESULT App::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == tray_message_ && tray_message_ != 0) {
    if (wparam == 0 && (lparam == WM_LBUTTONDBLCLK || lparam == WM_RBUTTONDOWN)) {
      OnTrayNotify(lparam);
      return 0;
    }
    return DefWindowProcA(window_, message, wparam, lparam);
  }
  if (message == taskbar_created_message_ && taskbar_created_message_ != 0) {
    // Explorer (re)started: its notification area has forgotten our icon.
    if (tray_ && !closing_) tray_->Add(TrayIconFor(settings_.mode));
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_ENDSESSION:
      if (wparam != FALSE) win32ui::ClearPendingClipboardNow();
      return 0;
    case WM_COMMAND:
      router_.OnCommand(LOWORD(wparam));
      return 0;
    case WM_HOTKEY:
      router_.OnHotKey(static_cast<std::uint32_t>(wparam));
      return 0;
    case WM_TIMER:
      if (wparam == kHotKeyRetryTimer) {
        OnHotKeyRetry();
        return 0;
      }
      return DefWindowProcA(window_, message, wparam, lparam);
    default:
      return DefWindowProcA(window_, message, wparam, lparam);
  }
}

void App::OnCreate() {
  // A Quorvix that was just closed (an update, a restart) may still hold the
  // hot keys for a moment: refused ones are tried again for a few seconds,
  // and those still refused then are reported.
  RegisterHotKeys(false);
  if (!hot_keys_->failed_rows().empty()) {
    hot_key_retries_ = 0;
    SetTimer(window_, kHotKeyRetryTimer, kHotKeyRetryMs, nullptr);
  }
  HMENU menu = GetMenu(window_);
  SetMenuDefaultItem(GetSubMenu(menu, TRAY_POPUP_PASSWORD), IDM_OPTIONS, FALSE);
  SetMenuDefaultItem(GetSubMenu(menu, TRAY_POPUP_RSA), IDM_OPTIONS, FALSE);
  if (settings_.login_at_startup) startup_login_.LoginAtStartup(window_);
}

void App::OnClose() {
  if (closing_) return;
  closing_ = true;
  // A decrypted text still waiting to be cleared does not outlive us.
  win32ui::ClearPendingClipboardNow();
  if (tray_) tray_->Remove();
  hot_keys_.reset();
  PostQuitMessage(0);
}

void App::OnTrayNotify(LPARAM mouse_message) {
  if (closing_) return;
  if (mouse_message == WM_LBUTTONDBLCLK) OpenOptions(0);
  if (mouse_message == WM_RBUTTONDOWN) ShowTrayMenu();
}

void App::ShowTrayMenu() {
  const bool rsa = settings_.mode == CryptoMode::RsaKeys;
  HMENU popup = GetSubMenu(GetMenu(window_), rsa ? TRAY_POPUP_RSA : TRAY_POPUP_PASSWORD);
  if (popup == nullptr) return;
  if (HMENU hot_keys = GetSubMenu(popup, rsa ? TRAY_HOTKEYS_POS_RSA : TRAY_HOTKEYS_POS_PASSWORD)) {
    RebuildHotKeyMenu(hot_keys, settings_);
  }
  UpdateMenuAvailability(popup, [this](UINT id) {
    return id > 0xFFFF || !PlacementOf(static_cast<std::uint16_t>(id)) ||
           router_.HasCommand(static_cast<std::uint16_t>(id));
  });
  // The menu is about to take the foreground: the window the user was in is
  // remembered now, for the command he will choose.
  menu_target_ = FindTargetWindow(window_);
  ShowPopupAtCursor(window_, popup);
}

void App::OnHotKeyRetry() {
  // A mode switch or Options in the meantime registered the keys anew and
  // reported what failed.
  if (hot_keys_ == nullptr || hot_keys_->failed_rows().empty() || hot_keys_->RetryFailed()) {
    KillTimer(window_, kHotKeyRetryTimer);
    return;
  }
  if (++hot_key_retries_ < kHotKeyRetries) return;
  KillTimer(window_, kHotKeyRetryTimer);
  ReportHotKeyFailures();
}

void App::RegisterHotKeys(bool report_failures) {
  KillTimer(window_, kHotKeyRetryTimer);
  hot_keys_.reset();
  hot_keys_ = std::make_unique<HotKeyRegistration>(window_, settings_.hot_keys, settings_.mode);
  if (report_failures) ReportHotKeyFailures();
}

void App::ReportHotKeyFailures() {
  if (hot_keys_->failed_rows().empty()) return;
  std::string list;
  for (std::size_t row : hot_keys_->failed_rows()) {
    list += "\n";
    list += MessageText(HotKeyActions()[row].label);
    list += " (" + CombinationText(settings_.hot_keys[row]) + ")";
  }
  messages_.Show(Msg::HotKeysNotRegistered, BoxKind::Warning, list);
}

HICON App::TrayIconFor(CryptoMode mode) const {
  return win32ui::LoadSmallIcon(instance_, mode == CryptoMode::Password ? IDI_TRAY_PASSWORD : IDI_TRAY_RSA);
}

void App::SwitchMode(CryptoMode target) {
  // A second switch while the notice of the first is still open waits for it.
  if (switching_) {
    BringForward(mode_notice_);
    return;
  }
  FlagScope busy(switching_);
  if (SwitchNoticeWanted(store_)) {
    ModeNoticeDialog notice(target, store_);
    OpenScope<win32ui::ModalDialog> open(mode_notice_, &notice);
    notice.Show(instance_);
  }
  if (closing_) return;
  hot_keys_.reset();
  settings_.mode = target;
  if (tray_) tray_->SetIcon(TrayIconFor(target));
  if (!SaveMode(store_, target)) messages_.Show(Msg::RegistryError, BoxKind::Error);
  RegisterHotKeys(true);
}

void App::OpenOptions(std::size_t row) {
  if (options_ != nullptr) {
    options_->SelectRow(row);
    BringForward(options_);
    return;
  }
  OptionsDialog dialog(settings_, row);
  std::optional<Settings> edited;
  {
    OpenScope<OptionsDialog> open(options_, &dialog);
    edited = dialog.Ask(instance_);
  }
  if (edited && !closing_) ApplyOptions(*edited);
}

void App::ApplyOptions(const Settings& edited) {
  // Only what the dialog edits: the mode may have been switched meanwhile.
  hot_keys_.reset();
  settings_.show_text = edited.show_text;
  settings_.autorun = edited.autorun;
  settings_.login_at_startup = edited.login_at_startup;
  settings_.hot_keys = edited.hot_keys;
  settings_.safety = edited.safety;
  settings_.crypto_format = edited.crypto_format;
  if (!SaveSettings(store_, settings_)) messages_.Show(Msg::RegistryError, BoxKind::Error);
  RegisterHotKeys(true);
}

void App::ShowHelp() {
  const std::string path = JoinPath(ProgramFolder(), kHelpFile);
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    messages_.Show(Msg::HelpNotFound, BoxKind::Error, path);
    return;
  }
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOW));
  if (result <= 32) messages_.Show(Msg::HelpOpenFailed, BoxKind::Error, path);
}

void App::ShowAbout() {
  if (about_ != nullptr) {
    BringForward(about_);
    return;
  }
  AboutDialog about;
  OpenScope<win32ui::ModalDialog> open(about_, &about);
  about.Show(instance_);
}

void App::ReportUnavailable(const CommandRouter::Unbound& what) {
  std::string name;
  if (what.hot_key) {
    if (const auto row = RowOfHotKeyId(what.id)) name = MessageText(HotKeyActions()[*row].label);
  } else if (window_ != nullptr) {
    name = MenuCommandText(GetMenu(window_), what.id);
  }
  if (name.empty()) name = "This command";
  messages_.Show(Msg::NotAvailableYet, BoxKind::Plain, name);
}

}  // namespace qvx::shell
