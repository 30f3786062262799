// What the key lists do with their keys.
#include "keys/ui/key_actions.h"

#include <commdlg.h>

#include "keys/messages.h"
#include "keys/ui/key_dialogs.h"
#include "win32ui/message_box.h"
#include "win32ui/password_prompts.h"
#include "win32ui/save_file_dialog.h"
#include "storage/associations.h"

namespace qvx::keys::ui {

namespace {

// Passes the keys of another source on and remembers the last one, so that
// a second step of the same operation needs no second question.
class RememberingKeySource final : public ProtectionKeySource {
 public:
  explicit RememberingKeySource(ProtectionKeySource& source) : source_(source) {}
  std::optional<Key256> GetProtectionKey(const KeyFileHeader& header) override {
    last_ = source_.GetProtectionKey(header);
    return last_;
  }
  void Accepted(const KeyFileHeader& header) override { source_.Accepted(header); }
  const std::optional<Key256>& last() const { return last_; }

 private:
  ProtectionKeySource& source_;
  std::optional<Key256> last_;
};

// The transport password: on export asked twice (the encryption prompt), on
// import once (the decryption prompt). Either may come from the storage.
TransportKeyQuestion TransportPassword(KeysUi& ui, bool exporting) {
  return [&ui, exporting]() -> std::optional<Key256> {
    win32ui::DialogPasswordPrompt prompt(ui.prompts());
    DecryptionPasswordRequest request;
    auto key = exporting ? prompt.AskEncryptionKey() : prompt.AskDecryptionKey(request);
    if (!key) return std::nullopt;
    return *key;
  };
}

std::optional<std::string> AskTransportFileToSave(KeysUi& ui, HWND owner, const KeyEntry& key) {
  win32ui::SaveFileRequest request;
  request.types.push_back({ui.Text(Msg::TransportFilter), "*.qvxt"});
  request.extension = ".qvxt";
  request.file_name = key.header.owner;
  return win32ui::AskSaveFilePath(owner, request);
}

std::optional<std::string> AskTransportFileToOpen(KeysUi& ui, HWND owner) {
  // "Quorvix transport files (*.qvxt)" NUL "*.qvxt" NUL NUL
  std::string filter = ui.Text(Msg::TransportFilter);
  filter += '\0';
  filter += "*.qvxt";
  filter += '\0';
  char file[MAX_PATH] = {};
  OPENFILENAMEA open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = owner;
  open.lpstrFilter = filter.c_str();
  open.lpstrFile = file;
  open.nMaxFile = MAX_PATH;
  open.lpstrDefExt = "qvxt";
  open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameA(&open)) return std::nullopt;
  return std::string(file);
}

}  // namespace

void DeleteSelectedKey(KeysUi& ui, const KeyListView& list) {
  const KeyEntry* entry = list.Selected();
  if (entry == nullptr) {
    ui.messages().Show(Msg::SelectKeyFirst, BoxKind::Error);
    return;
  }
  if (!ui.messages().Confirm(Msg::ConfirmDeleteKey)) return;
  if (!ui.store().Delete(*entry)) ui.messages().Show(Msg::KeyDeleteFailed, BoxKind::Error);
  PurgeKeyAssociations(ui);
}

void PurgeKeyAssociations(KeysUi& ui) {
  const KeyStore& store = ui.store();
  auto associations = storage::AssociationsFile::InFolder(store.files(), store.folder());
  // Nothing to tell the user when the file cannot be read: it stays as it is.
  (void)associations.Purge([&store](const storage::KeyIdBytes& id) -> Result<bool> {
    return store.FindPrivateKeyFile(KeyId::FromBytes(id.data())).has_value();
  });
}

void EditSelectedKeyNote(KeysUi& ui, HWND owner, const KeyListView& list) {
  if (list.kind() != KeyKind::Mine) return;
  const KeyEntry* entry = list.Selected();
  if (entry == nullptr) {
    ui.messages().Show(Msg::SelectKeyFirst, BoxKind::Error);
    return;
  }
  const std::string path = entry->private_path;
  auto header = ui.store().ReadHeader(path);
  if (!header) {
    ui.messages().Show(Msg::PrivateKeyOpenError, BoxKind::Error);
    return;
  }
  const auto note = AskKeyNote(ui, owner, header->note);
  if (!note) return;

  // Unlock first, so that a key that does not open is told apart from files
  // that cannot be written; the second step reuses the key it took.
  auto prompt = ui.ProtectionKeys();
  RememberingKeySource remembering(*prompt);
  if (auto loaded = ui.store().LoadPrivateKey(path, remembering); !loaded) {
    ShowFailure(ui.messages(), PrivateKeyLoadFailure(loaded.error()));
    return;
  }
  FixedProtectionKey same = remembering.last() ? FixedProtectionKey(*remembering.last())
                                               : FixedProtectionKey();
  if (auto edited = ui.store().EditNote(path, *note, same); !edited) {
    if (edited.code() == Errc::Io) {
      ui.messages().Show(Msg::PublicKeyCreationError, BoxKind::Error);
    } else {
      ShowFailure(ui.messages(), PrivateKeyLoadFailure(edited.error()));
    }
  }
}

void ExportSelectedKey(KeysUi& ui, HWND owner, const KeyListView& list) {
  const KeyEntry* entry = list.Selected();
  if (entry == nullptr) {
    ui.messages().Show(Msg::SelectKeyFirst, BoxKind::Error);
    return;
  }
  const KeyEntry key = *entry;
  TransportContent content = TransportContent::PublicOnly;
  if (list.kind() == KeyKind::Mine) {
    const auto chosen = AskExportContent(ui, owner);
    if (!chosen) return;
    content = *chosen;
  }
  const auto target = AskTransportFileToSave(ui, owner, key);
  if (!target) return;
  const Status exported =
      ExportKeyTransportFile(ui.store(), key.public_path, content, *target, TransportPassword(ui, true));
  if (!exported) ShowFailure(ui.messages(), exported.error());
}

void ShowSelectedKeyProperties(KeysUi& ui, HWND owner, const KeyListView& list) {
  const KeyEntry* entry = list.Selected();
  if (entry == nullptr) {
    ui.messages().Show(Msg::SelectKeyFirst, BoxKind::Error);
    return;
  }
  ShowKeyProperties(ui, owner, entry->header, entry->kind == KeyKind::Mine,
                    FingerprintOfKeyFile(ui.store(), entry->public_path));
}

void ImportKeys(KeysUi& ui, HWND owner) {
  const auto source = AskTransportFileToOpen(ui, owner);
  if (!source) return;
  auto imported = ImportKeyTransportFile(ui.store(), *source, TransportPassword(ui, false), ui.messages());
  if (!imported) ShowFailure(ui.messages(), imported.error());
}

}  // namespace qvx::keys::ui
