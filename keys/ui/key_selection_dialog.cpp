// The key selection dialog.
#include "keys/ui/key_selection_dialog.h"

#include "keys/key_store_recipients.h"
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
  KeySelectionDialog(KeysUi& ui, KeyKind kind, bool several = false)
      : ui_(ui), kind_(kind), several_(several), list_(ui) {}

  std::optional<std::string> Choose(HWND owner) {
    chosen_.reset();
    Run(ui_.instance(), IDD_KEY_SELECTION, owner);
    return chosen_;
  }

  // With `several`: the public key files of the checked keys (or the
  // selected one), and whether "Also to me" was checked.
  std::optional<std::vector<std::string>> ChooseSeveral(HWND owner, bool& also_to_me) {
    chosen_several_.reset();
    Run(ui_.instance(), IDD_KEY_SELECTION, owner);
    also_to_me = also_to_me_;
    return chosen_several_;
  }

 protected:
  bool OnInit() override {
    list_.Attach(window());
    list_.Fill(kind_);
    // Keys are generated as my keys only.
    EnableWindow(Item(IDC_SEL_GENERATE), kind_ == KeyKind::Mine);
    if (several_) {
      list_.EnableCheckBoxes();
      const bool have_mine = !ui_.store().List(KeyKind::Mine).empty();
      ShowWindow(Item(IDC_SEL_ALSO_TO_ME), SW_SHOW);
      EnableWindow(Item(IDC_SEL_ALSO_TO_ME), have_mine);
      SendMessageA(Item(IDC_SEL_ALSO_TO_ME), BM_SETCHECK, have_mine ? BST_CHECKED : BST_UNCHECKED, 0);
    }
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
    if (several_) {
      std::vector<std::string> paths;
      for (const KeyEntry* entry : list_.Checked()) paths.push_back(entry->public_path);
      if (paths.empty()) {
        if (const KeyEntry* entry = list_.Selected()) paths.push_back(entry->public_path);
      }
      if (paths.empty()) {
        ui_.messages().Show(Msg::SelectKeyFirst, BoxKind::Error);
        return;
      }
      also_to_me_ = SendMessageA(Item(IDC_SEL_ALSO_TO_ME), BM_GETCHECK, 0, 0) == BST_CHECKED;
      chosen_several_ = std::move(paths);
      End(IDOK);
      return;
    }
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
  bool several_;
  KeyListView list_;
  std::optional<std::string> chosen_;
  std::optional<std::vector<std::string>> chosen_several_;
  bool also_to_me_ = false;
};

}  // namespace

std::optional<std::vector<std::string>> SelectRecipients(KeysUi& ui, HWND owner) {
  KeySelectionDialog dialog(ui, KeyKind::Other, true);
  bool also_to_me = false;
  auto chosen = dialog.ChooseSeveral(owner, also_to_me);
  if (!chosen) return std::nullopt;
  return RecipientFiles(ui.store(), std::move(*chosen), also_to_me);
}

std::optional<std::string> SelectKey(KeysUi& ui, KeyKind kind, HWND owner) {
  KeySelectionDialog dialog(ui, kind);
  return dialog.Choose(owner);
}

}  // namespace qvx::keys::ui
