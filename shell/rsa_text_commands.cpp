// The RSA text commands: the text comes from the window or the clipboard
// through the shell's text operation, the work is keys/ui/model's, the
// questions are the key dialogs.
#include "shell/rsa_text_commands.h"

#include <memory>

#include "keys/ui/key_dialogs.h"
#include "keys/ui/key_manager_dialog.h"
#include "keys/ui/key_pair_wizard.h"
#include "keys/ui/key_selection_dialog.h"
#include "keys/ui/model/rsa_commands.h"
#include "resources/shell_ids.h"
#include "shell/model/hotkeys.h"
#include "win32ui/clipboard_text.h"
#include "win32ui/message_box.h"
#include "win32ui/password_prompts.h"
#include "shell/text_capture.h"
#include "shell/text_windows.h"
#include "win32ui/win32_util.h"

namespace qvx::shell {

namespace {

using qvx::KeyKind;
using keys::ui::KeysUi;

// One run with everything it needs; it never reaches back into the App.
struct RsaJob {
  TextOperation operation;
  KeysUi& ui;
  RsaTextCommand command;
  bool from_window;
  HWND target;
  bool show_text;
};

// The dialogs the commands ask through, with the operation marked as waiting
// for the user meanwhile.
class DialogCommandUi final : public keys::ui::RsaCommandUi {
 public:
  explicit DialogCommandUi(RsaJob& job) : job_(job) {}

  std::optional<std::string> ChooseMyKey() override {
    WithUser scope(job_);
    return keys::ui::SelectKey(job_.ui, KeyKind::Mine);
  }
  bool ConfirmOriginalText(std::string_view text) override {
    WithUser scope(job_);
    return shell::ConfirmOriginalText(text);
  }
  void ShowVerified(const KeyFileHeader& signer) override {
    WithUser scope(job_);
    keys::ui::ShowVerified(job_.ui, nullptr, signer);
  }
  // A viewer of its own with Save and Close only (no target to paste into),
  // so that the user sees exactly what was signed and what was not.
  void ShowSignedText(std::string_view text) override {
    ShowTextViewer(SecureString(text), WindowIdentity{}, nullptr, job_.operation.trace(),
                   job_.ui.Text(Msg::SignedTextCaption));
  }

 private:
  class WithUser {
   public:
    explicit WithUser(RsaJob& job) : job_(job) { job_.operation.SetPhase(OperationPhase::WithUser); }
    WithUser(const WithUser&) = delete;
    WithUser& operator=(const WithUser&) = delete;
    ~WithUser() { job_.operation.SetPhase(OperationPhase::Working); }

   private:
    RsaJob& job_;
  };
  RsaJob& job_;
};

// All the text of the target window, or the clipboard's text as it is.
Result<CapturedText> TakeText(RsaJob& job) {
  if (job.from_window) return job.operation.Capture(job.target, TextSource::WholeWindow);
  return ReadClipboardCapture();
}

// A text that lost characters to the code page would come back into the
// window with "?" in their place: only with the user's consent.
bool AcceptLossyText(RsaJob& job, const CapturedText& captured) {
  if (!captured.lossy || !job.from_window) return true;
  job.operation.SetPhase(OperationPhase::WithUser);
  const bool accepted = job.ui.messages().Confirm(Msg::LossyTextQuestion);
  job.operation.SetPhase(OperationPhase::Working);
  return accepted;
}

// The result in place of the window's text, or on the clipboard.
void PutResult(RsaJob& job, std::string_view result) {
  const Status put = job.from_window ? job.operation.PutBack(job.target, result)
                                    : job.operation.PutOnClipboard(result);
  if (put) return;
  job.ui.messages().Show(PutBackFailureMessage(put.code()),
                         put.code() == Errc::Interrupted ? BoxKind::Warning : BoxKind::Error);
}

void RunRsaJob(RsaJob& job) {
  MessageUi& messages = job.ui.messages();
  const auto keys = job.ui.ProtectionKeys();
  DialogCommandUi dialogs(job);
  const keys::ui::RsaCommandContext context{job.ui.store(), messages, *keys, dialogs,
                                        job.show_text};

  switch (job.command) {
    case RsaTextCommand::Sign: {
      auto captured = TakeText(job);
      if (!captured) return messages.Show(CaptureFailureMessage(captured.code()), BoxKind::Error);
      if (!AcceptLossyText(job, *captured)) return;
      auto signed_text = SignCommand(captured->text.view(), context);
      if (signed_text) PutResult(job, *signed_text);
      return;
    }
    case RsaTextCommand::Verify: {
      auto captured = TakeText(job);
      if (!captured) return messages.Show(CaptureFailureMessage(captured.code()), BoxKind::Error);
      VerifyCommand(captured->text.view(), context);
      return;
    }
    case RsaTextCommand::InsertMyKey: {
      // The clipboard variant starts from an empty clipboard: the result is
      // the key block alone. A window without text gets the block alone too.
      CapturedText text;
      if (job.from_window) {
        auto captured = TakeText(job);
        if (!captured && captured.code() == Errc::AccessDenied) {
          return messages.Show(Msg::TargetElevated, BoxKind::Error);
        }
        if (captured) text = std::move(*captured);
      } else {
        win32ui::ClearClipboard();
      }
      if (!AcceptLossyText(job, text)) return;
      auto with_key = InsertMyKeyCommand(text.text.view(), context);
      if (with_key) PutResult(job, *with_key);
      return;
    }
    case RsaTextCommand::GetOtherKey: {
      auto captured = TakeText(job);
      if (!captured) return;
      GetOtherKeyCommand(captured->text.view(), context);
      return;
    }
  }
}

}  // namespace

namespace {

const char* CommandName(RsaTextCommand command) {
  switch (command) {
    case RsaTextCommand::Sign: return "sign";
    case RsaTextCommand::Verify: return "verify";
    case RsaTextCommand::InsertMyKey: return "insert my key";
    case RsaTextCommand::GetOtherKey: return "get other key";
  }
  return "key command";
}

}  // namespace

void StartRsaTextCommand(TextCommandHost& host, KeysUi& ui, RsaTextCommand command,
                         bool from_window, bool on_this_thread) {
  // A menu command (run on its own thread already) works on the window the
  // user was in when the menu opened.
  HWND remembered = on_this_thread ? host.TakeMenuTarget() : nullptr;
  HWND target = !from_window     ? nullptr
                : on_this_thread ? MenuCommandTarget(remembered, host.main_window())
                                 : FindTargetWindow(host.main_window());
  auto operation = TextOperation::Begin(host.text_operations(), host.messages(), CommandName(command));
  if (!operation) return;
  operation->trace().Mark("target found");
  auto job = std::make_shared<RsaJob>(RsaJob{std::move(*operation), ui, command, from_window, target,
                                             host.settings().show_text});
  if (on_this_thread) {
    RunRsaJob(*job);
    return;
  }
  if (!win32ui::StartDetachedThread([job] { RunRsaJob(*job); })) {
    host.messages().Show(Msg::MemoryAllocationError, BoxKind::Error);
  }
}

namespace {

// A top-level dialog of this process with that title, if one is open.
HWND OwnDialog(const char* title) {
  HWND found = FindWindowA("#32770", title);
  DWORD process = 0;
  if (found != nullptr) GetWindowThreadProcessId(found, &process);
  return process == GetCurrentProcessId() ? found : nullptr;
}

}  // namespace

void BindRsaCommands(CommandRouter& router, TextCommandHost& host, KeysUi& keys) {
  router.BindCommand(IDM_KEY_PAIR_WIZARD, [&keys] { keys::ui::RunKeyPairWizard(keys, nullptr); });
  router.BindCommand(IDM_KEY_MANAGER, [&keys] {
    // An open key manager comes forward instead of a second one.
    if (HWND open = OwnDialog("Key Manager")) {
      SetForegroundWindow(open);
      return;
    }
    keys::ui::ShowKeyManager(keys);
  });

  // Menu commands run on a thread of their own already; hot keys arrive on
  // the main thread and start one.
  const struct {
    std::uint16_t command;
    RsaTextCommand what;
    bool from_window;
  } commands[] = {
      {IDM_SIGN_WINDOW, RsaTextCommand::Sign, true},
      {IDM_SIGN_CLIPBOARD, RsaTextCommand::Sign, false},
      {IDM_VERIFY_WINDOW, RsaTextCommand::Verify, true},
      {IDM_VERIFY_CLIPBOARD, RsaTextCommand::Verify, false},
      {IDM_INSERT_KEY_WINDOW, RsaTextCommand::InsertMyKey, true},
      {IDM_INSERT_KEY_CLIPBOARD, RsaTextCommand::InsertMyKey, false},
      {IDM_GET_KEY_WINDOW, RsaTextCommand::GetOtherKey, true},
      {IDM_GET_KEY_CLIPBOARD, RsaTextCommand::GetOtherKey, false},
  };
  for (const auto& c : commands) {
    router.BindCommand(c.command, [&host, &keys, what = c.what, from_window = c.from_window] {
      StartRsaTextCommand(host, keys, what, from_window, true);
    });
  }
  const struct {
    HotKeyId hot_key;
    RsaTextCommand what;
  } hot_keys[] = {{HotKeyId::Sign, RsaTextCommand::Sign},
                 {HotKeyId::Verify, RsaTextCommand::Verify},
                 {HotKeyId::InsertMyKey, RsaTextCommand::InsertMyKey},
                 {HotKeyId::GetOtherKey, RsaTextCommand::GetOtherKey}};
  for (const auto& h : hot_keys) {
    router.BindHotKey(h.hot_key, [&host, &keys, what = h.what] {
      StartRsaTextCommand(host, keys, what, true, false);
    });
  }
}

}  // namespace qvx::shell
