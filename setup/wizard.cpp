// The setup wizard's three pages and what follows them.
#include "setup/wizard.h"

#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/system.h"
#include "resources/setup_ids.h"
#include "setup/com_scope.h"
#include "setup/copy_distribution.h"
#include "setup/model/install_layout.h"
#include "setup/model/text.h"
#include "setup/model/windows_path.h"
#include "setup/win32/registry_key.h"
#include "setup/win32/system_places.h"
#include "win32ui/dialog.h"
#include "win32ui/win32_util.h"

namespace qvx::setup {

namespace {


// How a page ended: forward, or the wizard ends with an exit code.
constexpr INT_PTR kForward = 1;
constexpr INT_PTR kQuitCode0 = 100;
constexpr INT_PTR kQuitCode1 = 101;

// A wizard page: OK goes forward, Cancel asks (string 7) and ends the wizard
// on OK, the close box ends it at once with the page's exit code.
class WizardPage : public win32ui::ModalDialog {
 public:
  WizardPage(win32ui::MessageBoxes& messages, INT_PTR on_close)
      : messages_(messages), on_close_(on_close) {}

 protected:
  void OnCommand(int id, int) override {
    if (id == IDOK) {
      Forward();
    } else if (id == IDCANCEL) {
      if (messages_.Confirm(Msg::ConfirmCancelSetup)) End(kQuitCode0);
    } else {
      OnControl(id);
    }
  }
  void OnClose() override { End(on_close_); }
  virtual void Forward() { End(kForward); }
  virtual void OnControl(int) {}

  win32ui::MessageBoxes& messages_;

 private:
  INT_PTR on_close_;
};

class IntroPage final : public WizardPage {
 public:
  explicit IntroPage(win32ui::MessageBoxes& messages) : WizardPage(messages, kQuitCode1) {}

 protected:
  bool OnInit() override {
    SetWindowTextA(Item(IDC_SETUP_INTRO_TEXT), messages_.Text(Msg::SetupIntro).c_str());
    return true;
  }
};

class LicencePage final : public WizardPage {
 public:
  explicit LicencePage(win32ui::MessageBoxes& messages) : WizardPage(messages, kQuitCode0) {}

 protected:
  bool OnInit() override {
    // A missing file leaves the text empty; the user may still agree.
    const auto text =
        NativeFileSystem().ReadFile(JoinPath(ProgramFolder(), setup::kLicenceFile));
    if (text.ok()) {
      const std::string shown = setup::WithCrLf(
          std::string_view(reinterpret_cast<const char*>(text.value().data()), text.value().size()));
      SetWindowTextA(Item(IDC_SETUP_LICENCE), shown.c_str());
    }
    // "Yes" has the focus, not the text (which would show selected).
    SetFocus(Item(IDOK));
    return false;
  }
};

std::string DefaultFolder() {
  const auto key = setup::RegistryKey::Open(HKEY_LOCAL_MACHINE, setup::kWindowsVersionKey);
  const std::string program_files = key.ReadString(setup::kProgramFilesValue).value_or("");
  return program_files + setup::kDefaultFolderName;
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  // Open the browser at the folder the edit names, when it exists.
  if (message == BFFM_INITIALIZED && data != 0) {
    SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
  }
  return 0;
}

class FolderPage final : public WizardPage {
 public:
  explicit FolderPage(win32ui::MessageBoxes& messages) : WizardPage(messages, kQuitCode0) {}
  const std::string& folder() const { return folder_; }

 protected:
  bool OnInit() override {
    SendMessageA(Item(IDC_SETUP_FOLDER), EM_LIMITTEXT, MAX_PATH - 1, 0);
    SetWindowTextA(Item(IDC_SETUP_FOLDER), DefaultFolder().c_str());
    return true;
  }

  void OnControl(int id) override {
    if (id == IDC_SETUP_BROWSE) Browse();
  }

  void Forward() override {
    const std::string typed = win32ui::WindowText(Item(IDC_SETUP_FOLDER));
    const auto normal = setup::NormalizeAbsolutePath(typed);
    if (!normal) {
      messages_.Show(Msg::SetupFolderInvalid, BoxKind::Warning);
      return;
    }
    // Short names ("PROGRA~1") and the like are judged by what they name.
    const std::vector<std::string> guarded = setup::ProtectedFolders();
    for (const std::string& candidate : {*normal, setup::ResolvedPath(*normal)}) {
      if (setup::CheckInstallFolder(candidate, guarded) != setup::FolderVerdict::Ok) {
        messages_.Show(Msg::SetupFolderRefused, BoxKind::Warning, *normal);
        return;
      }
    }
    folder_ = *normal;
    End(kForward);
  }

 private:
  void Browse() {
    const std::string title = messages_.Text(Msg::SetupBrowseTitle);
    const auto current = setup::NormalizeAbsolutePath(win32ui::WindowText(Item(IDC_SETUP_FOLDER)));
    BROWSEINFOA info{};
    info.hwndOwner = window();
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = &BrowseCallback;
    info.lParam = current && setup::FolderExists(*current)
                      ? reinterpret_cast<LPARAM>(current->c_str())
                      : 0;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (chosen == nullptr) return;
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(chosen, path) && path[0] != '\0') {
      SetWindowTextA(Item(IDC_SETUP_FOLDER), path);
    }
    CoTaskMemFree(chosen);
  }

  std::string folder_;
};

int Quit(INT_PTR result) {
  return result == kQuitCode0 ? 0 : 1;
}

}  // namespace

int RunSetupWizard(HINSTANCE instance, win32ui::MessageBoxes& messages) {
  const ComScope com;  // the folder browser uses COM

  IntroPage intro(messages);
  if (const INT_PTR r = intro.Run(instance, IDD_SETUP_INTRO); r != kForward) return Quit(r);
  LicencePage licence(messages);
  if (const INT_PTR r = licence.Run(instance, IDD_SETUP_LICENCE); r != kForward) return Quit(r);
  FolderPage folder_page(messages);
  if (const INT_PTR r = folder_page.Run(instance, IDD_SETUP_FOLDER); r != kForward) return Quit(r);

  const std::string& folder = folder_page.folder();
  auto failure = CopyDistribution(folder);
  if (!failure) failure = StartInstalledProgram(folder);
  if (failure) {
    messages.Show(failure->message, BoxKind::Error, failure->arg);
    return 2;
  }
  return 1;
}

}  // namespace qvx::setup
