// The tray program's password storage: login state and entry points.
#include "storage/ui/password_storage.h"

#include "storage/associations.h"
#include "storage/book.h"
#include "storage/key_passwords.h"
#include "storage/ui/login_dialog.h"
#include "storage/ui/storage_dialog.h"

namespace qvx::storage::ui {

namespace {

// The window a storage dialog is opened over: a visible window only (the
// hidden main window of the tray program is no owner).
HWND VisibleOwner(HWND owner) {
  return owner != nullptr && IsWindowVisible(owner) ? owner : nullptr;
}

}  // namespace

// One storage dialog at a time: the scope that owns the login state.
class PasswordStorageUi::Use {
 public:
  explicit Use(PasswordStorageUi& ui) : ui_(ui), acquired_(ui.Acquire()) {}
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;
  ~Use() {
    if (acquired_) ui_.Release();
  }
  explicit operator bool() const { return acquired_; }

 private:
  PasswordStorageUi& ui_;
  bool acquired_;
};

// A new password typed a second time in the confirmation box.
class PasswordStorageUi::Confirmer final : public PasswordConfirmer {
 public:
  explicit Confirmer(const win32ui::CapturePolicy& privacy) : privacy_(privacy) {}
  bool ConfirmPassword(const SecureString& first) override {
    return win32ui::ConfirmPassword(nullptr, first, privacy_);
  }

 private:
  const win32ui::CapturePolicy& privacy_;
};

// The login dialog as the core's LoginDialogRunner.
class PasswordStorageUi::LoginRunner final : public LoginDialogRunner {
 public:
  LoginRunner(PasswordStorageUi& ui, HWND owner)
      : ui_(ui), owner_(VisibleOwner(owner)), confirmer_(ui.privacy_) {}
  std::optional<StorageSession> RunLoginDialog() override {
    LoginDialog::Context context;
    context.instance = ui_.instance_;
    context.folder = &ui_.accounts_;
    context.settings = ui_.settings_;
    context.messages = &ui_.messages_;
    context.confirmer = &confirmer_;
    context.privacy = &ui_.privacy_;
    context.skip = ui_.setup_.load();
    context.owner = owner_;
    context.on_window = [this](HWND window) { ui_.OnWindow(window); };
    return LoginDialog(std::move(context)).RunLoginDialog();
  }
  PasswordConfirmer& confirmer() { return confirmer_; }

 private:
  PasswordStorageUi& ui_;
  HWND owner_;
  Confirmer confirmer_;
};

PasswordStorageUi::PasswordStorageUi(HINSTANCE instance, SettingsStore& settings,
                                     MessageUi& messages, FileSystem& files, std::string folder,
                                     const win32ui::CapturePolicy& privacy)
    : instance_(instance),
      settings_(&settings),
      messages_(messages),
      files_(files),
      folder_(std::move(folder)),
      accounts_(files_, folder_),
      privacy_(privacy) {}

void PasswordStorageUi::LoginForInstallation() {
  setup_ = true;
  EnsureLogin(nullptr);
  setup_ = false;
}

bool PasswordStorageUi::Acquire() {
  bool expected = false;
  return busy_.compare_exchange_strong(expected, true);
}

void PasswordStorageUi::Release() {
  window_.store(nullptr);
  busy_.store(false);
}

void PasswordStorageUi::BringForward() {
  if (HWND window = window_.load(); window != nullptr && IsWindow(window)) {
    SetForegroundWindow(window);
  }
}

bool PasswordStorageUi::EnsureLogin(HWND owner, std::optional<std::string_view> account) {
  Use use(*this);
  if (!use) {
    BringForward();
    return false;
  }
  LoginRunner runner(*this, owner);
  return EnsureStorageLogin(login_, account, settings_, runner);
}

void PasswordStorageUi::Browse(HWND owner) {
  Use use(*this);
  if (!use) {
    BringForward();
    return;
  }
  LoginRunner runner(*this, owner);
  StorageDialog window(DialogContext{instance_, &messages_, &runner.confirmer(), &privacy_},
                       VisibleOwner(owner), [this](HWND w) { OnWindow(w); });
  OpenPasswordStorage(login_, settings_, runner, window, messages_, nullptr);
}

std::optional<Key256> PasswordStorageUi::Choose(HWND owner) {
  Use use(*this);
  if (!use) {
    messages_.Show(Msg::StorageInUse);
    BringForward();
    return std::nullopt;
  }
  LoginRunner runner(*this, owner);
  StorageDialog window(DialogContext{instance_, &messages_, &runner.confirmer(), &privacy_},
                       VisibleOwner(owner), [this](HWND w) { OnWindow(w); });
  Key256 chosen;
  if (!OpenPasswordStorage(login_, settings_, runner, window, messages_, &chosen))
    return std::nullopt;
  return chosen;
}

bool PasswordStorageUi::SaveAndAssociate(HWND owner, const KeyFileHeader& key,
                                         std::string_view password) {
  Use use(*this);
  if (!use) {
    messages_.Show(Msg::StorageInUse);
    BringForward();
    return false;
  }
  LoginRunner runner(*this, owner);
  if (!EnsureStorageLogin(login_, std::nullopt, settings_, runner)) return false;
  StorageSession& session = *login_.session();
  AssociationsFile associations = AssociationsFile::InFolder(files_, folder_);
  KeyIdBytes id{};
  std::copy(key.id.bytes.begin(), key.id.bytes.end(), id.begin());
  const Status saved = storage::SaveAndAssociate(session, associations, id, key.owner, password);
  if (saved) return true;
  if (saved.code() == Errc::InvalidArgument) {
    messages_.Show(RecordTextsMessage(key.owner, password, {}).value_or(Msg::StorageTextTooLong),
                   BoxKind::Error);
  } else if (session.FindAssociatedPassword(PasswordCheckValue(password))) {
    // The password is in the storage; only the association could not be written.
    messages_.Show(Msg::AssociationSaveFailed, BoxKind::Error);
  } else {
    messages_.Show(StorageErrorMessage(saved.error(), true), BoxKind::Error);
  }
  return false;
}

std::optional<Key256> PasswordStorageUi::LookupProtectionKey(const KeyFileHeader& key) {
  Use use(*this);
  if (!use) return std::nullopt;  // the password prompt asks instead
  AssociationsFile associations = AssociationsFile::InFolder(files_, folder_);
  KeyIdBytes id{};
  std::copy(key.id.bytes.begin(), key.id.bytes.end(), id.begin());
  LoginRunner runner(*this, nullptr);
  return storage::LookupProtectionKey(associations, id, login_, settings_, runner);
}

}  // namespace qvx::storage::ui
