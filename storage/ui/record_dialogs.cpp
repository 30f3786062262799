// The new-record wizard and the edit, change-password and filters dialogs.
#include "storage/ui/record_dialogs.h"

#include "resources/storage_ids.h"
#include "win32ui/dialog.h"
#include "win32ui/screen_privacy.h"
#include "win32ui/win32_util.h"
#include "storage/account.h"
#include "storage/book.h"
#include "storage/record.h"
#include "win32ui/edit_text.h"

namespace qvx::storage::ui {

namespace {

constexpr std::size_t kMaxFilterLength = 255;

// A record's edits take one character more than the record keeps: a longer
// text, typed or pasted, then stays visible as too long and is refused with
// the storage's own message, instead of being cut by the edit without a word.
void LimitRecordText(HWND edit, std::size_t record_limit) { win32ui::LimitText(edit, record_limit + 1); }

// The storage's message for texts a record cannot keep, shown as an error;
// false when there is none.
bool RefuseRecordTexts(MessageShow& messages, std::string_view owner, std::string_view password,
                       std::string_view note) {
  const auto message = RecordTextsMessage(owner, password, note);
  if (!message) return false;
  messages.Show(*message, BoxKind::Error);
  return true;
}

// ---- New-record wizard ------------------------------------------------------

struct WizardState {
  SecureString owner;
  SecureString password;
  SecureString note;
  bool show_password = false;
};

enum class StepResult { Next, Back, Cancel };

class WizardStep : public win32ui::ModalDialog {
 public:
  WizardStep(const DialogContext& context, WizardState& state) : context_(context), state_(state) {}

  StepResult Show(int resource) {
    result_ = StepResult::Cancel;
    Run(context_.instance, resource, context_.owner);
    return result_;
  }

 protected:
  void Finish(StepResult result) {
    result_ = result;
    End(result == StepResult::Next ? IDOK : IDCANCEL);
  }
  void Error(Msg id) { context_.messages->Show(id, BoxKind::Error); }
  void OnClose() override { Cancel(); }
  virtual void Cancel() { Finish(StepResult::Cancel); }
  HWND Edit() const { return Item(IDC_RECORD_TEXT); }

  const DialogContext& context_;
  WizardState& state_;

 private:
  StepResult result_ = StepResult::Cancel;
};

class OwnerStep final : public WizardStep {
 public:
  using WizardStep::WizardStep;

 protected:
  bool OnInit() override {
    LimitRecordText(Edit(), kMaxOwnerLength);
    win32ui::SetText(Edit(), state_.owner.view());
    SendMessageA(Edit(), EM_SETSEL, 0, -1);
    SetFocus(Edit());
    return false;
  }
  void OnCommand(int id, int) override {
    if (id == IDOK) {
      state_.owner = win32ui::SecretWindowText(Edit());
      if (state_.owner.empty()) {
        Error(Msg::EnterAccountOwner);
        SetFocus(Edit());
        return;
      }
      if (RefuseRecordTexts(*context_.messages, state_.owner.view(), {}, {})) {
        SetFocus(Edit());
        return;
      }
      Finish(StepResult::Next);
    }
    if (id == IDCANCEL) Cancel();
  }
  void Cancel() override {
    state_.owner.clear();
    Finish(StepResult::Cancel);
  }
};

class PasswordStep final : public WizardStep {
 public:
  using WizardStep::WizardStep;

 protected:
  bool OnInit() override {
    win32ui::ProtectFromCapture(window(), *context_.privacy);
    LimitRecordText(Edit(), kMaxPasswordLength);
    win32ui::SetText(Edit(), state_.password.view());
    SetChecked(IDC_RECORD_SHOW, state_.show_password);
    win32ui::ShowSecretText(Edit(), state_.show_password);
    SendMessageA(Edit(), EM_SETSEL, 0, -1);
    SetFocus(Edit());
    return false;
  }
  void OnCommand(int id, int code) override {
    switch (id) {
      case IDC_RECORD_SHOW:
        if (code == BN_CLICKED) {
          state_.show_password = IsChecked(IDC_RECORD_SHOW);
          win32ui::ShowSecretText(Edit(), state_.show_password);
        }
        return;
      case IDC_RECORD_BACK:
        state_.password = win32ui::SecretWindowText(Edit());
        Leave(StepResult::Back);
        return;
      case IDOK:
        Next();
        return;
      case IDCANCEL:
        Cancel();
        return;
      default:
        return;
    }
  }
  void Cancel() override {
    state_.password.clear();
    Leave(StepResult::Cancel);
  }

 private:
  void Next() {
    state_.password = win32ui::SecretWindowText(Edit());
    if (state_.password.empty()) {
      Error(Msg::EnterPassword);
      SetFocus(Edit());
      return;
    }
    if (RefuseRecordTexts(*context_.messages, {}, state_.password.view(), {})) {
      SetFocus(Edit());
      return;
    }
    // A password shown in clear needs no second typing.
    if (!state_.show_password && !context_.confirmer->ConfirmPassword(state_.password)) {
      state_.password.clear();
      win32ui::WipeSecretEdit(Edit());
      Error(Msg::WrongConfirmation);
      SetFocus(Edit());
      return;
    }
    Leave(StepResult::Next);
  }
  void Leave(StepResult result) {
    win32ui::WipeSecretEdit(Edit());
    Finish(result);
  }
};

class NoteStep final : public WizardStep {
 public:
  using WizardStep::WizardStep;

 protected:
  bool OnInit() override {
    LimitRecordText(Edit(), kMaxNoteLength);
    win32ui::SetText(Edit(), state_.note.view());
    SetFocus(Edit());
    return false;
  }
  void OnCommand(int id, int) override {
    if (id == IDOK || id == IDC_RECORD_BACK) {
      state_.note = win32ui::SecretWindowText(Edit());
      if (id == IDOK && RefuseRecordTexts(*context_.messages, {}, {}, state_.note.view())) {
        SetFocus(Edit());
        return;
      }
      Finish(id == IDOK ? StepResult::Next : StepResult::Back);
    }
    if (id == IDCANCEL) Cancel();
  }
};

// ---- Editing a record ---------------------------------------------------------

class EditRecordDialog final : public win32ui::ModalDialog {
 public:
  EditRecordDialog(const DialogContext& context, const RecordContents& record, bool show)
      : context_(context), record_(record), show_(show) {}

  std::optional<EditedRecord> Ask() {
    result_.reset();
    Run(context_.instance, IDD_EDIT_RECORD, context_.owner);
    return std::move(result_);
  }

 protected:
  bool OnInit() override {
    win32ui::ProtectFromCapture(window(), *context_.privacy);
    LimitRecordText(Item(IDC_RECORD_TEXT), kMaxPasswordLength);
    LimitRecordText(Item(IDC_RECORD_NOTE), kMaxNoteLength);
    win32ui::SetText(Item(IDC_RECORD_TEXT), record_.password.view());
    SetChecked(IDC_RECORD_SHOW, show_);
    win32ui::ShowSecretText(Item(IDC_RECORD_TEXT), show_);
    win32ui::SetText(Item(IDC_RECORD_NOTE), record_.note.view());
    return true;
  }
  void OnCommand(int id, int code) override {
    if (id == IDC_RECORD_SHOW && code == BN_CLICKED) {
      win32ui::ShowSecretText(Item(IDC_RECORD_TEXT), IsChecked(IDC_RECORD_SHOW));
    }
    if (id == IDOK) {
      EditedRecord edited{win32ui::SecretWindowText(Item(IDC_RECORD_TEXT)), win32ui::SecretWindowText(Item(IDC_RECORD_NOTE))};
      // Texts the record cannot keep leave the dialog open with them.
      if (RefuseRecordTexts(*context_.messages, {}, edited.password.view(), edited.note.view())) return;
      result_ = std::move(edited);
      Close(IDOK);
    }
    if (id == IDCANCEL) Close(IDCANCEL);
  }
  void OnClose() override { Close(IDCANCEL); }

 private:
  void Close(INT_PTR result) {
    win32ui::WipeSecretEdit(Item(IDC_RECORD_TEXT));
    End(result);
  }

  const DialogContext& context_;
  const RecordContents& record_;
  bool show_;
  std::optional<EditedRecord> result_;
};

// ---- New account password -----------------------------------------------------

class ChangePasswordDialog final : public win32ui::ModalDialog {
 public:
  explicit ChangePasswordDialog(const DialogContext& context) : context_(context) {}

  std::optional<SecureString> Ask() {
    result_.reset();
    Run(context_.instance, IDD_CHANGE_PASSWORD, context_.owner);
    return std::move(result_);
  }

 protected:
  bool OnInit() override {
    win32ui::ProtectFromCapture(window(), *context_.privacy);
    win32ui::LimitText(Item(IDC_RECORD_TEXT), kMaxAccountPasswordLength);
    return true;
  }
  void OnCommand(int id, int) override {
    if (id == IDCANCEL) Close(IDCANCEL);
    if (id != IDOK) return;
    SecureString password = win32ui::SecretWindowText(Item(IDC_RECORD_TEXT));
    if (password.empty()) {
      context_.messages->Show(Msg::EnterPassword, BoxKind::Error);
      SetFocus(Item(IDC_RECORD_TEXT));
      return;
    }
    if (!context_.confirmer->ConfirmPassword(password)) {
      win32ui::WipeSecretEdit(Item(IDC_RECORD_TEXT));
      context_.messages->Show(Msg::WrongConfirmation, BoxKind::Error);
      SetFocus(Item(IDC_RECORD_TEXT));
      return;
    }
    result_ = std::move(password);
    Close(IDOK);
  }
  void OnClose() override { Close(IDCANCEL); }

 private:
  void Close(INT_PTR result) {
    win32ui::WipeSecretEdit(Item(IDC_RECORD_TEXT));
    End(result);
  }

  const DialogContext& context_;
  std::optional<SecureString> result_;
};

// ---- Filters --------------------------------------------------------------------

class FiltersDialog final : public win32ui::ModalDialog {
 public:
  FiltersDialog(const DialogContext& context, StorageFilters& filters)
      : context_(context), filters_(filters) {}
  void Show() { Run(context_.instance, IDD_FILTERS, context_.owner); }

 protected:
  bool OnInit() override {
    win32ui::LimitText(Item(IDC_FILTER_OWNERS), kMaxFilterLength);
    win32ui::LimitText(Item(IDC_FILTER_NOTES), kMaxFilterLength);
    win32ui::SetText(Item(IDC_FILTER_OWNERS), filters_.owners);
    win32ui::SetText(Item(IDC_FILTER_NOTES), filters_.notes);
    return true;
  }
  void OnCommand(int id, int) override {
    if (id == IDC_FILTER_OWNERS_SET) filters_.owners = win32ui::WindowText(Item(IDC_FILTER_OWNERS));
    if (id == IDC_FILTER_NOTES_SET) filters_.notes = win32ui::WindowText(Item(IDC_FILTER_NOTES));
    if (id == IDCANCEL) End(IDCANCEL);
  }

 private:
  const DialogContext& context_;
  StorageFilters& filters_;
};

}  // namespace

std::optional<NewRecord> RunNewRecordWizard(const DialogContext& context) {
  WizardState state;
  int step = 1;
  for (;;) {
    StepResult result = StepResult::Cancel;
    switch (step) {
      case 1:
        result = OwnerStep(context, state).Show(IDD_NEW_RECORD_OWNER);
        break;
      case 2:
        result = PasswordStep(context, state).Show(IDD_NEW_RECORD_PASSWORD);
        break;
      default:
        result = NoteStep(context, state).Show(IDD_NEW_RECORD_NOTE);
        break;
    }
    if (result == StepResult::Cancel) return std::nullopt;
    if (result == StepResult::Back) {
      step = step > 1 ? step - 1 : 1;
      continue;
    }
    if (step == 3) {
      return NewRecord{std::move(state.owner), std::move(state.password), std::move(state.note)};
    }
    ++step;
  }
}

std::optional<EditedRecord> RunEditRecordDialog(const DialogContext& context,
                                                const RecordContents& record, bool show_password) {
  return EditRecordDialog(context, record, show_password).Ask();
}

std::optional<SecureString> RunChangePasswordDialog(const DialogContext& context) {
  return ChangePasswordDialog(context).Ask();
}

void RunFiltersDialog(const DialogContext& context, StorageFilters& filters) {
  FiltersDialog(context, filters).Show();
}

}  // namespace qvx::storage::ui
