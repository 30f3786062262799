// The tray application: start-up, the hidden main window of class "QVX_Class"
// with its message loop, the tray icon and menus, the hot keys of the current
// mode, the mode switch, Options, Help, About and Exit. One App object lives in
// WinMain; the main window keeps a pointer to it in GWLP_USERDATA.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/settings.h"
#include "shell/hotkey_registration.h"
#include "shell/message_box.h"
#include "shell/model/command_router.h"
#include "shell/model/operation_gate.h"
#include "shell/model/settings_model.h"
#include "shell/model/start_args.h"
#include "shell/text_hooks.h"
#include "shell/tray_icon.h"

namespace qvx::shell {

class App;
class ModalDialog;
class OptionsDialog;

// Start-up steps that other parts of the program own. An empty hook means the
// step is not available in this build; the App then says so to the user.
struct StartHooks {
  // What the program does after a start-up step: go on with the tray start, or
  // end with an exit code.
  struct Outcome {
    bool exit = false;
    int exitCode = 0;
  };
  std::function<Outcome(App&)> setupWizard;  // "startinstall"
  std::function<Outcome(App&)> installStep;  // "install"
  // An existing path on the command line: show it as a key file. Returns the
  // exit code; the program ends afterwards.
  std::function<int(App&, const std::string& path)> keyFile;
  // "LoginAtStartup": the password storage login, with the main window as owner.
  std::function<void(App&)> loginAtStartup;
};

class App {
 public:
  static constexpr const char* kWindowClass = "QVX_Class";
  static constexpr const char* kTrayMessageName = "ZEM_QVX_Tray";

  App(HINSTANCE instance, std::unique_ptr<SettingsStore> store);
  App(const App&) = delete;
  App& operator=(const App&) = delete;
  ~App();

  // The whole life of the process after WinMain: returns the exit code.
  int Run(const std::vector<std::string>& args);

  // For the parts that plug in (see feature.h).
  HINSTANCE instance() const { return instance_; }
  HWND mainWindow() const { return window_; }
  const Settings& settings() const { return settings_; }
  CryptoMode mode() const { return settings_.mode; }
  SettingsStore& settingsStore() { return *store_; }
  MessageBoxes& messages() { return messages_; }
  CommandRouter& router() { return router_; }
  StartHooks& startHooks() { return hooks_; }
  // The one-text-operation-at-a-time gate (shell/text_capture.h) and the
  // hooks of the key and storage dialogs into the text commands.
  const std::shared_ptr<OperationGate>& textOperations() const { return textOperations_; }
  TextHooks& textHooks() { return textHooks_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

  void BindShellCommands();
  std::optional<int> RunStartHooks(const StartRequest& request);
  int RunMainWindow();
  void OnCreate();
  void OnClose();
  void OnTrayNotify(LPARAM mouseMessage);
  void ShowTrayMenu();
  void RegisterHotKeys(bool reportFailures);
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
  std::unique_ptr<SettingsStore> store_;
  MessageBoxes messages_;
  CommandRouter router_;
  StartHooks hooks_;
  std::shared_ptr<OperationGate> textOperations_ = OperationGate::Create();
  TextHooks textHooks_;
  Settings settings_;

  HWND window_ = nullptr;
  UINT trayMessage_ = 0;
  UINT taskbarCreatedMessage_ = 0;
  HMODULE richEdit_ = nullptr;
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<HotKeyRegistration> hotKeys_;
  static constexpr UINT_PTR kHotKeyRetryTimer = 1;
  static constexpr UINT kHotKeyRetryMs = 250;
  static constexpr int kHotKeyRetries = 20;
  int hotKeyRetries_ = 0;
  bool closing_ = false;

  // Windows that exist at most once; a second request brings them forward.
  OptionsDialog* options_ = nullptr;
  ModalDialog* about_ = nullptr;
  ModalDialog* modeNotice_ = nullptr;
  bool switching_ = false;
};

}  // namespace qvx::shell
