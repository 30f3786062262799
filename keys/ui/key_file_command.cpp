// A key file opened from the command line.
#include "keys/ui/key_file_command.h"

#include "keys/public_key_block.h"
#include "keys/ui/key_dialogs.h"
#include "win32ui/message_box.h"

namespace qvx::keys::ui {

namespace {

// Whether the store already holds exactly this file under the name it would
// get (it may be that very file).
bool StoreHoldsFile(const KeysUi& ui, const KeyFileHeader& header, const Bytes& file) {
  const std::string stored = ui.store().PublicPath(header.owner, header.id);
  auto bytes = ui.store().files().ReadFile(stored);
  return bytes && *bytes == file;
}

bool AskYesDefaultNo(KeysUi& ui, Msg question) {
  return MessageBoxA(nullptr, ui.messages().Text(question).c_str(), "Quorvix",
                     MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION | MB_SYSTEMMODAL) == IDYES;
}

// Offers a public key file to the store. It goes in as a received key would:
// through the same checks (checksums, seal, owner name), the comparison with
// the stored key of its id and the questions before replacing a stored file.
void OfferToAdd(KeysUi& ui, const std::string& path, const KeyFileHeader& header) {
  if (!header.IsPublicFile()) return;
  auto file = ui.store().files().ReadFile(path);
  if (!file || StoreHoldsFile(ui, header, *file)) return;
  if (!AskYesDefaultNo(ui, Msg::AddKeyFileQuestion)) return;
  const std::string block = MakePublicKeyBlock(file->data(), file->size());
  auto imported = ImportPublicKeyBlock(block, ui.store(), ui.messages());
  if (!imported) {
    ShowFailure(ui.messages(), imported.error());
    return;
  }
  ui.messages().Show(Msg::OperationOk);
}

}  // namespace

int ShowKeyFileFromCommandLine(KeysUi& ui, const std::string& path) {
  auto info = ReadKeyFileForDisplay(path, ui.store());
  if (!info) {
    ShowFailure(ui.messages(), info.error());
    return 1;
  }
  ShowKeyProperties(ui, nullptr, info->header, info->mine, info->fingerprint);
  OfferToAdd(ui, path, info->header);
  return 0;
}

}  // namespace qvx::keys::ui
