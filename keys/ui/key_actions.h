// What the key lists do with their keys: delete (then drop the key-password
// associations of keys whose private file is gone), edit the note, export to
// and import from transport files. Shared by the selection dialog and the key
// manager; each refills its list afterwards.
#pragma once

#include <windows.h>

#include "keys/ui/key_list_view.h"
#include "keys/ui/keys_ui.h"

namespace qvx::keys::ui {

// The selected key after "Are you sure you want to delete this key?".
void DeleteSelectedKey(KeysUi& ui, const KeyListView& list);

// Drops the key-password associations of every key whose private key file
// can no longer be found in the store.
void PurgeKeyAssociations(KeysUi& ui);

// "Key Note" for the selected one of my keys, then both files rewritten with
// the new note (the private key is unlocked for its seal). Other keys: nothing.
void EditSelectedKeyNote(KeysUi& ui, HWND owner, const KeyListView& list);

// The selected key into a transport file: for my keys after the export
// choice, for other keys their public key file alone.
void ExportSelectedKey(KeysUi& ui, HWND owner, const KeyListView& list);

// "Key File Properties" of the selected key, with its fingerprint.
void ShowSelectedKeyProperties(KeysUi& ui, HWND owner, const KeyListView& list);

// A transport file chosen by the user into the store.
void ImportKeys(KeysUi& ui, HWND owner);

}  // namespace qvx::keys::ui
