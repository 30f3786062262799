// The key pair wizard.
#include "keys/ui/key_pair_wizard.h"

#include <commctrl.h>

#include "engine/password_key.h"
#include "keys/key_id.h"
#include "keys/ui/busy_window.h"
#include "keys/ui/model/key_pair_wizard.h"
#include "resources/keys_ids.h"
#include "win32ui/dialog.h"
#include "win32ui/message_box.h"
#include "win32ui/password_prompts.h"
#include "win32ui/screen_privacy.h"
#include "win32ui/tooltips.h"
#include "win32ui/win32_util.h"

namespace qvx::keys::ui {

namespace {

constexpr int kPageResources[] = {IDD_WIZARD_LENGTH, IDD_WIZARD_OWNER, IDD_WIZARD_NOTE,
                                  IDD_WIZARD_PASSWORD};

// One page of the wizard; its dialog ends with the page's answer.
class WizardPageDialog final : public win32ui::ModalDialog {
 public:
  WizardPageDialog(KeysUi& ui, WizardPage page, KeyPairChoices& choices, const WizardOptions& options)
      : ui_(ui), page_(page), choices_(choices), options_(options) {}

  PageAnswer Show(HWND owner) {
    answer_ = PageAnswer::Cancel;
    Run(ui_.instance(), kPageResources[static_cast<int>(page_)], owner);
    return answer_;
  }

 protected:
  bool OnInit() override {
    if (page_ == WizardPage::Protection) win32ui::ProtectFromCapture(window(), ui_.privacy());
    if (options_.installer) SetWindowTextA(Item(IDCANCEL), ui_.Text(Msg::Skip).c_str());
    switch (page_) {
      case WizardPage::Length: {
        HWND slider = Item(IDC_WIZ_SLIDER);
        SendMessageA(slider, TBM_SETRANGE, TRUE, MAKELPARAM(kMinKeyBits, kMaxKeyBits));
        SendMessageA(slider, TBM_SETLINESIZE, 0, kKeyBitsStep);
        SendMessageA(slider, TBM_SETPAGESIZE, 0, 16 * kKeyBitsStep);
        SendMessageA(slider, TBM_SETTICFREQ, 128, 0);
        SendMessageA(slider, TBM_SETPOS, TRUE, static_cast<LPARAM>(choices_.bits));
        ShowSliderBits();
        SetFocus(slider);
        return false;
      }
      case WizardPage::Owner:
        return PrepareEdit(kMaxOwnerLength, choices_.owner);
      case WizardPage::Note:
        return PrepareEdit(kMaxNoteLength, choices_.note);
      case WizardPage::Protection: {
        SetChecked(IDC_WIZ_SAVE, true);
        win32ui::AttachTooltips(window(), {{IDC_WIZ_FROM_STORAGE, Msg::TipFromStorage}});
        SetFocus(Item(IDC_WIZ_PASSWORD));
        return false;
      }
      default:
        return true;
    }
  }

  void OnCommand(int id, int) override {
    if (id == IDCANCEL) return Finish(PageAnswer::Cancel);
    if (id == IDOK) return Next();
    const int back = page_ == WizardPage::Protection ? IDC_WIZ_BACK4 : IDC_WIZ_BACK;
    if (id == back && page_ != WizardPage::Length) return Finish(PageAnswer::Back);
    if (page_ == WizardPage::Protection && id == IDC_WIZ_FROM_STORAGE) FromStorage();
  }

  bool OnMessage(UINT message, WPARAM, LPARAM, INT_PTR&) override {
    if (message == WM_HSCROLL && page_ == WizardPage::Length) {
      ShowSliderBits();
      return true;
    }
    return false;
  }

 private:
  bool PrepareEdit(std::size_t limit, const std::string& value) {
    HWND edit = Item(IDC_WIZ_TEXT);
    SendMessageA(edit, EM_LIMITTEXT, limit, 0);
    SetWindowTextA(edit, value.c_str());
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    return false;
  }

  unsigned SliderBits() const {
    return KeyBitsFromSlider(static_cast<int>(SendMessageA(Item(IDC_WIZ_SLIDER), TBM_GETPOS, 0, 0)));
  }
  void ShowSliderBits() { SetDlgItemInt(window(), IDC_WIZ_TEXT, SliderBits(), FALSE); }

  void Next() {
    switch (page_) {
      case WizardPage::Length:
        choices_.bits = SliderBits();
        break;
      case WizardPage::Owner: {
        const std::string owner = win32ui::WindowText(Item(IDC_WIZ_TEXT));
        if (const auto problem = OwnerProblem(owner)) {
          ui_.messages().Show(*problem, BoxKind::Error);
          SetFocus(Item(IDC_WIZ_TEXT));
          return;
        }
        choices_.owner = owner;
        break;
      }
      case WizardPage::Note:
        choices_.note = win32ui::WindowText(Item(IDC_WIZ_TEXT)).substr(0, kMaxNoteLength);
        break;
      case WizardPage::Protection:
        if (!TakePassword()) return;
        break;
      default:
        break;
    }
    Finish(PageAnswer::Next);
  }

  // The typed password, confirmed by typing it again; none leaves the key
  // unprotected. False keeps the page open.
  bool TakePassword() {
    choices_.save_and_associate = IsChecked(IDC_WIZ_SAVE);
    SecureString password = win32ui::SecretWindowText(Item(IDC_WIZ_PASSWORD));
    choices_.password.clear();
    choices_.protection.reset();
    if (password.empty()) return true;
    if (!win32ui::ConfirmPassword(window(), password, ui_.privacy())) {
      ui_.messages().Show(Msg::WrongConfirmation, BoxKind::Error);
      SetWindowTextA(Item(IDC_WIZ_PASSWORD), "");
      SetFocus(Item(IDC_WIZ_PASSWORD));
      return false;
    }
    choices_.protection = PasswordToKey(password.view());
    choices_.password = std::move(password);
    return true;
  }

  // A password from the storage protects the key; nothing is saved for it.
  void FromStorage() {
    auto key = ui_.prompts().from_storage.ChoosePasswordKey(window());
    if (!key) return;
    choices_.protection = *key;
    choices_.password.clear();
    choices_.save_and_associate = false;
    Finish(PageAnswer::Next);
  }

  void Finish(PageAnswer answer) {
    answer_ = answer;
    End(IDOK);
  }

  KeysUi& ui_;
  WizardPage page_;
  KeyPairChoices& choices_;
  const WizardOptions& options_;
  PageAnswer answer_ = PageAnswer::Cancel;
};

}  // namespace

std::optional<GeneratedKey> RunKeyPairWizard(KeysUi& ui, HWND owner, const WizardOptions& options) {
  KeyPairChoices choices;
  WizardPage page = WizardPage::Length;
  while (page != WizardPage::Generate) {
    if (page == WizardPage::Cancelled) return std::nullopt;
    WizardPageDialog dialog(ui, page, choices, options);
    page = NextPage(page, dialog.Show(owner));
  }

  Result<GeneratedKey> generated = MakeError(Errc::Cancelled);
  const Key256* protection = choices.protection ? &*choices.protection : nullptr;
  RunWithBusyWindow(ui.instance(), owner, [&] {
    generated = GenerateKeyPair(ui.store(), choices.bits, choices.owner, choices.note, protection);
  });
  if (!generated) {
    ui.messages().Show(GenerationFailureMessage(generated.error()), BoxKind::Error);
    return std::nullopt;
  }
  // The typed password goes into the storage, associated with the new key.
  if (choices.save_and_associate && !choices.password.empty() && choices.protection) {
    ui.key_passwords().Remember(generated->header, choices.password);
  }
  return std::move(*generated);
}

void RunInstallerKeyPairWizard(KeysUi& ui) {
  WizardOptions options;
  options.installer = true;
  RunKeyPairWizard(ui, nullptr, options);
}

}  // namespace qvx::keys::ui
