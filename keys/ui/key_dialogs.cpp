// The small key dialogs.
#include "keys/ui/key_dialogs.h"

#include "keys/key_id.h"
#include "keys/ui/model/key_list.h"
#include "resources/keys_ids.h"
#include "win32ui/dialog.h"
#include "win32ui/message_box.h"
#include "win32ui/win32_util.h"

namespace qvx::keys::ui {

namespace {

class KeyNoteDialog final : public win32ui::ModalDialog {
 public:
  explicit KeyNoteDialog(std::string note) : note_(std::move(note)) {}
  const std::string& note() const { return note_; }

 protected:
  bool OnInit() override {
    HWND edit = Item(IDC_NOTE_TEXT);
    SendMessageA(edit, EM_LIMITTEXT, kMaxNoteLength, 0);
    SetWindowTextA(edit, note_.c_str());
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    return false;
  }
  void OnCommand(int id, int) override {
    if (id == IDOK) {
      note_ = win32ui::WindowText(Item(IDC_NOTE_TEXT)).substr(0, kMaxNoteLength);
      End(IDOK);
    } else if (id == IDCANCEL) {
      End(IDCANCEL);
    }
  }

 private:
  std::string note_;
};

class KeyPropertiesDialog final : public win32ui::ModalDialog {
 public:
  explicit KeyPropertiesDialog(KeyPropertyLines lines) : lines_(std::move(lines)) {}

 protected:
  bool OnInit() override {
    SetWindowTextA(Item(IDC_PROP_OWNER), lines_.owner.c_str());
    SetWindowTextA(Item(IDC_PROP_LENGTH), lines_.length.c_str());
    SetWindowTextA(Item(IDC_PROP_TIME), lines_.created.c_str());
    SetWindowTextA(Item(IDC_PROP_TYPE), lines_.type.c_str());
    SetWindowTextA(Item(IDC_PROP_NOTE), lines_.note.c_str());
    SetWindowTextA(Item(IDC_PROP_FINGERPRINT), lines_.fingerprint.c_str());
    return true;
  }

 private:
  KeyPropertyLines lines_;
};

class VerifiedDialog final : public win32ui::ModalDialog {
 public:
  explicit VerifiedDialog(const KeyFileHeader& signer) : signer_(signer) {}

 protected:
  bool OnInit() override {
    // The resource texts ("Key owner: ", "Key note: ") lead their values.
    for (auto [id, value] : {std::pair{IDC_VERIFIED_OWNER, &signer_.owner},
                             std::pair{IDC_VERIFIED_NOTE, &signer_.note}}) {
      const std::string text = win32ui::WindowText(Item(id)) + *value;
      SetWindowTextA(Item(id), text.c_str());
    }
    return true;
  }

 private:
  const KeyFileHeader& signer_;
};

class ExportChoiceDialog final : public win32ui::ModalDialog {
 public:
  explicit ExportChoiceDialog(KeysUi& ui) : ui_(ui) {}
  TransportContent content() const { return content_; }

 protected:
  bool OnInit() override {
    SetChecked(IDC_EXPORT_PUBLIC, true);
    return true;
  }
  void OnCommand(int id, int code) override {
    switch (id) {
      case IDC_EXPORT_BOTH:
        // Carrying the private key is for moving one's own pair between
        // computers only; say so each time it is chosen. The choice stays.
        if (code == BN_CLICKED) ui_.messages().Show(Msg::ExportBothWarning, BoxKind::Error);
        break;
      case IDOK:
        content_ = IsChecked(IDC_EXPORT_PUBLIC) ? TransportContent::PublicOnly
                                                : TransportContent::PublicAndPrivate;
        End(IDOK);
        break;
      case IDCANCEL:
        End(IDCANCEL);
        break;
      default:
        break;
    }
  }

 private:
  KeysUi& ui_;
  TransportContent content_ = TransportContent::PublicOnly;
};

}  // namespace

std::optional<std::string> AskKeyNote(KeysUi& ui, HWND owner, const std::string& note) {
  KeyNoteDialog dialog(note);
  if (dialog.Run(ui.instance(), IDD_KEY_NOTE, owner) != IDOK) return std::nullopt;
  return dialog.note();
}

void ShowKeyProperties(KeysUi& ui, HWND owner, const KeyFileHeader& header, bool mine,
                       const std::optional<KeyFingerprint>& fingerprint) {
  KeyPropertyTexts texts;
  texts.list.timeFormat = ui.Text(Msg::TimeFormat);
  texts.list.day_first = DayFirstFromText(ui.Text(Msg::DayFirst));
  texts.list.my_key = ui.Text(Msg::KindMyKey);
  texts.list.other_key = ui.Text(Msg::KindOtherKey);
  for (std::size_t i = 0; i < kKeyColumnCount; ++i) texts.titles[i] = ui.Text(KeyColumns()[i].title);
  texts.private_key = ui.Text(Msg::PrivateKeyKind);
  texts.public_key = ui.Text(Msg::PublicKeyKind);
  texts.fingerprint_title = ui.Text(Msg::FingerprintTitle);
  KeyPropertiesDialog dialog(KeyProperties(header, mine, texts, fingerprint));
  dialog.Run(ui.instance(), IDD_KEY_PROPERTIES, owner);
}

void ShowVerified(KeysUi& ui, HWND owner, const KeyFileHeader& signer) {
  VerifiedDialog dialog(signer);
  dialog.Run(ui.instance(), IDD_VERIFIED, owner);
}

std::optional<TransportContent> AskExportContent(KeysUi& ui, HWND owner) {
  ExportChoiceDialog dialog(ui);
  if (dialog.Run(ui.instance(), IDD_EXPORT_CHOICE, owner) != IDOK) return std::nullopt;
  return dialog.content();
}

}  // namespace qvx::keys::ui
