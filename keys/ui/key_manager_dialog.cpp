// The key manager.
#include "keys/ui/key_manager_dialog.h"

#include "keys/ui/key_actions.h"
#include "keys/ui/key_list_view.h"
#include "keys/ui/key_pair_wizard.h"
#include "resources/keys_ids.h"
#include "win32ui/dialog.h"
#include "win32ui/tooltips.h"

namespace qvx::keys::ui {

namespace {

class KeyManagerDialog final : public win32ui::ModalDialog {
 public:
  explicit KeyManagerDialog(KeysUi& ui) : ui_(ui), list_(ui) {}

 protected:
  bool OnInit() override {
    list_.Attach(window());
    EnableWindow(Item(IDC_MGR_EXPORT), TRUE);
    ShowKind(KeyKind::Mine);
    win32ui::AttachTooltips(window(), {{IDC_MGR_GENERATE, Msg::TipGenerateKey},
                                     {IDC_MGR_EDIT_NOTE, Msg::TipEditNote},
                                     {IDC_KEY_FIND, Msg::TipFindKey},
                                     {IDC_MGR_DELETE, Msg::TipDeleteKey}});
    SetFocus(list_.list());
    return false;
  }

  void OnCommand(int id, int code) override {
    switch (id) {
      case IDOK:
        // Enter on an item edits its note; otherwise "Close".
        if ((GetKeyState(VK_RETURN) & 0x8000) != 0 && GetFocus() == list_.list() &&
            list_.Selected() != nullptr) {
          EditNote();
        } else {
          End(IDOK);
        }
        break;
      case IDCANCEL:
        End(IDCANCEL);
        break;
      case IDC_MGR_MY_KEYS:
      case IDC_MGR_OTHER_KEYS:
        if (code == BN_CLICKED)
          ShowKind(IsChecked(IDC_MGR_MY_KEYS) ? KeyKind::Mine : KeyKind::Other);
        break;
      case IDC_MGR_GENERATE:
        if (list_.kind() == KeyKind::Mine) {
          RunKeyPairWizard(ui_, window());
          list_.Refill();
        }
        break;
      case IDC_MGR_EDIT_NOTE:
        EditNote();
        break;
      case IDC_MGR_DELETE:
        DeleteSelectedKey(ui_, list_);
        list_.Refill();
        break;
      case IDC_KEY_FIND:
        list_.Find();
        break;
      case IDC_MGR_EXPORT:
        ExportSelectedKey(ui_, window(), list_);
        break;
      case IDC_MGR_PROPERTIES:
        ShowSelectedKeyProperties(ui_, window(), list_);
        break;
      case IDC_MGR_IMPORT:
        ImportKeys(ui_, window());
        list_.Refill();
        break;
      default:
        break;
    }
  }

  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR& result) override {
    return list_.HandleDialogMessage(
        message, wparam, lparam, result, [this] { EditNote(); },
        [this] { OnCommand(IDC_MGR_DELETE, BN_CLICKED); });
  }

 private:
  // Generating and note editing are for my keys only.
  void ShowKind(KeyKind kind) {
    SetChecked(IDC_MGR_MY_KEYS, kind == KeyKind::Mine);
    SetChecked(IDC_MGR_OTHER_KEYS, kind == KeyKind::Other);
    EnableWindow(Item(IDC_MGR_GENERATE), kind == KeyKind::Mine);
    EnableWindow(Item(IDC_MGR_EDIT_NOTE), kind == KeyKind::Mine);
    list_.Fill(kind);
  }

  void EditNote() {
    if (list_.kind() != KeyKind::Mine) return;
    EditSelectedKeyNote(ui_, window(), list_);
    list_.Refill();
  }

  KeysUi& ui_;
  KeyListView list_;
};

}  // namespace

void ShowKeyManager(KeysUi& ui, HWND owner) {
  KeyManagerDialog dialog(ui);
  dialog.Run(ui.instance(), IDD_KEY_MANAGER, owner);
}

}  // namespace qvx::keys::ui
