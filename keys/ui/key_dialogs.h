// The small key dialogs: the key note (128), the key file properties (129),
// the verification result (133) and the export choice (155).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "keys/key_file.h"
#include "keys/key_identity.h"
#include "keys/transport.h"
#include "keys/ui/keys_ui.h"

namespace qvx::keys::ui {

// "Key Note": the new note (at most 127 characters), nullopt on Cancel.
std::optional<std::string> AskKeyNote(KeysUi& ui, HWND owner, const std::string& note);

// "Key File Properties" for one header; mine: the store holds its private key.
// The fingerprint line is left empty without a fingerprint (a file that did
// not pass its checks).
void ShowKeyProperties(KeysUi& ui, HWND owner, const KeyFileHeader& header, bool mine,
                       const std::optional<KeyFingerprint>& fingerprint);

// "Verification Successful" with the signer's owner and note.
void ShowVerified(KeysUi& ui, HWND owner, const KeyFileHeader& signer);

// The export choice for one of my keys: public key only, or both key files
// (after a warning); nullopt on Cancel.
std::optional<TransportContent> AskExportContent(KeysUi& ui, HWND owner);

}  // namespace qvx::keys::ui
