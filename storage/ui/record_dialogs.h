// The storage window's smaller dialogs: the three-step wizard of a new record
// (resources 138-140), editing a record's password and note (142), the new
// account password (141) and the owner and note filters (143). A record keeps
// an owner of 127, a password of 63 and a note of 255 characters; longer
// texts are refused with the storage's message, never cut.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/secure.h"
#include "platform/ui.h"
#include "storage/book.h"
#include "storage/login.h"
#include "win32ui/screen_privacy.h"

namespace qvx::storage::ui {

struct DialogContext {
  HINSTANCE instance = nullptr;
  MessageUi* messages = nullptr;
  PasswordConfirmer* confirmer = nullptr;
  const win32ui::CapturePolicy* privacy = nullptr;
  // The window the dialogs open over (disabled while they run), or none.
  HWND owner = nullptr;
};

struct NewRecord {
  SecureString owner;
  SecureString password;
  SecureString note;
};

// The wizard: owner, password (asked twice unless shown in clear), note.
// nullopt when the user cancelled at any step.
std::optional<NewRecord> RunNewRecordWizard(const DialogContext& context);

// Editing a record: its new password and note, nullopt after Cancel.
struct EditedRecord {
  SecureString password;
  SecureString note;
};
std::optional<EditedRecord> RunEditRecordDialog(const DialogContext& context,
                                                const RecordContents& record, bool show_password);

// The new account password, confirmed; nullopt after Cancel.
std::optional<SecureString> RunChangePasswordDialog(const DialogContext& context);

// Sets the filters; each "Set this filter" takes effect at once, Cancel
// closes.
void RunFiltersDialog(const DialogContext& context, StorageFilters& filters);

}  // namespace qvx::storage::ui
