// The tray application: the hidden main window of class "QVX_Class" with its
// message loop, the tray icon and menus, the hot keys of the current mode,
// the mode switch, Options, Help, About and Exit. The program's assembly
// (shell/program.cpp) makes one App, binds the other parts' commands to its
// router and runs it; the main window keeps a pointer to it in GWLP_USERDATA.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/settings.h"
#include "shell/hotkey_registration.h"
#include "shell/model/command_router.h"
#include "shell/model/operation_gate.h"
#include "shell/model/settings_model.h"
#include "shell/model/start_args.h"
#include "shell/text_command_host.h"
#include "shell/tray_icon.h"
#include "win32ui/message_box.h"

namespace qvx::win32ui {
class ModalDialog;
}

namespace qvx::shell {

class OptionsDialog;

// The password storage login that the tray runs once its main window exists,
// when "LoginAtStartup" is set.
class StartupLogin {
 public:
  virtual ~StartupLogin() = default;
  virtual void LoginAtStartup(HWND main_window) = 0;
};

class App final : public TextCommandHost {
 public:
  static constexpr const char* kWindowClass = "QVX_Class";
  static constexpr const char* kTrayMessageName = "ZEM_QVX_Tray";

  // The settings store and the message boxes belong to the assembly and
  // outlive the App.
  App(HINSTANCE instance, SettingsStore& store, win32ui::MessageBoxes& messages,
      StartupLogin& startup_login);
  App(const App&) = delete;
  App& operator=(const App&) = delete;
  ~App() override;

  // Where the other parts bind their menu commands and hot keys, before Run.
  CommandRouter& router() { return router_; }

  // The tray program until Exit: refuses a second instance on this desktop,
  // loads the settings, makes the main window, the icon and the hot keys and
  // runs the message loop. `autostart`: started at logon ("regrun"), which
  // ends at once when "Launch program at startup" is off. Returns the exit
  // code.
  int Run(bool autostart);

  // TextCommandHost.
  HWND main_window() const override { return window_; }
  const std::shared_ptr<OperationGate>& text_operations() const override { return text_operations_; }
  win32ui::MessageBoxes& messages() override { return messages_; }
  const Settings& settings() const override { return settings_; }
  HWND TakeMenuTarget() override { return std::exchange(menu_target_, nullptr); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

  void BindShellCommands();
  int RunMainWindow();
  void OnCreate();
  void OnClose();
  void OnTrayNotify(LPARAM mouse_message);
  void ShowTrayMenu();
  void RegisterHotKeys(bool report_failures);
  void ReportHotKeyFailures();
  void OnHotKeyRetry();
  void SwitchMode(CryptoMode target);
  void OpenOptions(std::size_t row);
  void ApplyOptions(const Settings& edited);
  void ShowHelp();
  void ShowAbout();
  void ReportUnavailable(const CommandRouter::Unbound& what);
  HICON TrayIconFor(CryptoMode mode) const;

  HINSTANCE instance_;
  SettingsStore& store_;
  win32ui::MessageBoxes& messages_;
  StartupLogin& startup_login_;
  CommandRouter router_;
  std::shared_ptr<OperationGate> text_operations_ = OperationGate::Create();
  Settings settings_;
  // The window the user was in when the tray menu opened.
  HWND menu_target_ = nullptr;

  HWND window_ = nullptr;
  UINT tray_message_ = 0;
  UINT taskbar_created_message_ = 0;
  HMODULE rich_edit_ = nullptr;
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<HotKeyRegistration> hot_keys_;
  static constexpr UINT_PTR kHotKeyRetryTimer = 1;
  static constexpr UINT kHotKeyRetryMs = 250;
  static constexpr int kHotKeyRetries = 20;
  int hot_key_retries_ = 0;
  bool closing_ = false;

  // Windows that exist at most once; a second request brings them forward.
  OptionsDialog* options_ = nullptr;
  win32ui::ModalDialog* about_ = nullptr;
  win32ui::ModalDialog* mode_notice_ = nullptr;
  bool switching_ = false;
};

}  // namespace qvx::shell
