// The key selection dialog.
#include "keys/ui/key_selection_dialog.h"

#include "keys/ui/key_actions.h"
#include "keys/ui/key_list_view.h"
#include "keys/ui/key_manager_dialog.h"
#include "keys/ui/key_pair_wizard.h"
#include "resources/keys_ids.h"
#include "win32ui/dialog.h"
#include "win32ui/tooltips.h"
#include "win32ui/message_box.h"

namespace qvx::keys::ui {

namespace {

class KeySelectionDialog final : public win32ui::ModalDialog {
 public:
  KeySelectionDialog(KeysUi& ui, KeyKind kind) : ui_(ui), kind_(kind), list_(ui) {}

  std::optional<std::string> Choose(HWND owner) {
    chosen_.reset();
    Run(ui_.instance(), IDD_KEY_SELECTION, owner);
    return chosen_;
  }

 protected:
  bool OnInit() override {
    list_.Attach(window());
    list_.Fill(kind_);
    // Keys are generated as my keys only.
    EnableWindow(Item(IDC_SEL_GENERATE), kind_ == KeyKind::Mine);
    win32ui::AttachTooltips(window(), {{IDC_SEL_GENERATE, Msg::TipGenerateKey},
                                     {IDC_KEY_FIND, Msg::TipFindKey},
                                     {IDC_SEL_DELETE, Msg::TipDeleteKey},
                                     {IDC_SEL_MANAGER, Msg::TipKeyManager}});
    SetFocus(list_.list());
    return false;
  }

  void OnCommand(int id, int) override {
    switch (id) {
      case IDOK:
        Accept();
        break;
      case IDCANCEL:
        End(IDCANCEL);
        break;
      case IDC_SEL_GENERATE:
        if (kind_ == KeyKind::Mine) {
          RunKeyPairWizard(ui_, window());
          list_.Refill();
        }
        break;
      case IDC_SEL_MANAGER:
        ShowKeyManager(ui_, window());
        list_.Refill();
        break;
      case IDC_SEL_DELETE:
        DeleteSelectedKey(ui_, list_);
        list_.Refill();
        break;
      case IDC_KEY_FIND:
        list_.Find();
        break;
      default:
        break;
    }
  }

  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR& result) override {
    return list_.HandleDialogMessage(
        message, wparam, lparam, result, [this] { Accept(); },
        [this] { OnCommand(IDC_SEL_DELETE, BN_CLICKED); });
  }

 private:
  void Accept() {
    auto path = list_.SelectedPath();
    if (!path) {
      ui_.messages().Show(Msg::SelectKeyFirst, BoxKind::Error);
      return;
    }
    chosen_ = std::move(path);
    End(IDOK);
  }

  KeysUi& ui_;
  KeyKind kind_;
  KeyListView list_;
  std::optional<std::string> chosen_;
};

}  // namespace

std::optional<std::string> SelectKey(KeysUi& ui, KeyKind kind, HWND owner) {
  KeySelectionDialog dialog(ui, kind);
  return dialog.Choose(owner);
}

}  // namespace qvx::keys::ui
