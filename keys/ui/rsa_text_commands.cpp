// The RSA text commands: the text comes from the window or the clipboard
// through the shell's text operation, the work is keys/ui/model's, the
// questions are the key dialogs.
#include "keys/ui/rsa_text_commands.h"

#include <memory>

#include "keys/ui/key_dialogs.h"
#include "keys/ui/key_selection_dialog.h"
#include "keys/ui/model/rsa_commands.h"
#include "shell/app.h"
#include "shell/clipboard_text.h"
#include "shell/message_box.h"
#include "shell/password_prompts.h"
#include "shell/text_capture.h"
#include "shell/text_windows.h"
#include "shell/win32_util.h"

namespace qvx::keyui {

namespace {

using shell::OperationPhase;

// One run with everything it needs; it never reaches back into the App.
struct RsaJob {
  shell::TextOperation operation;
  KeysUi& ui;
  RsaTextCommand command;
  bool fromWindow;
  HWND target;
  bool showText;
  shell::TextHooks hooks;
};

// The dialogs the commands ask through, with the operation marked as waiting
// for the user meanwhile.
class DialogCommandUi final : public RsaCommandUi {
 public:
  explicit DialogCommandUi(RsaJob& job) : job_(job) {}

  std::optional<std::string> ChooseMyKey() override {
    WithUser scope(job_);
    return SelectKey(job_.ui, KeyKind::Mine);
  }
  bool ConfirmOriginalText(std::string_view text) override {
    WithUser scope(job_);
    return shell::ConfirmOriginalText(text);
  }
  void ShowVerified(const KeyFileHeader& signer) override {
    WithUser scope(job_);
    keyui::ShowVerified(job_.ui, nullptr, signer);
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
Result<shell::CapturedText> TakeText(RsaJob& job) {
  if (job.fromWindow) return job.operation.Capture(job.target, shell::TextSource::WholeWindow);
  return shell::ReadClipboardText();
}

// A text that lost characters to the code page would come back into the
// window with "?" in their place: only with the user's consent.
bool AcceptLossyText(RsaJob& job, const shell::CapturedText& captured) {
  if (!captured.lossy || !job.fromWindow) return true;
  job.operation.SetPhase(OperationPhase::WithUser);
  const bool accepted = job.ui.messages().Confirm(Msg::LossyTextQuestion);
  job.operation.SetPhase(OperationPhase::Working);
  return accepted;
}

// The result in place of the window's text, or on the clipboard.
void PutResult(RsaJob& job, std::string_view result) {
  const Status put = job.fromWindow ? job.operation.PutBack(job.target, result)
                                    : job.operation.PutOnClipboard(result);
  if (put) return;
  job.ui.messages().Show(shell::PutBackFailureMessage(put.code()),
                         put.code() == Errc::Interrupted ? BoxKind::Warning : BoxKind::Error);
}

void RunRsaJob(RsaJob& job) {
  MessageSink& messages = job.ui.messages();
  shell::PromptedProtectionKeys keys(job.hooks);
  DialogCommandUi dialogs(job);
  const RsaCommandContext context{job.ui.store(), messages, keys, dialogs, job.showText};

  switch (job.command) {
    case RsaTextCommand::Sign: {
      auto captured = TakeText(job);
      if (!captured) return messages.Show(shell::CaptureFailureMessage(captured.code()), BoxKind::Error);
      if (!AcceptLossyText(job, *captured)) return;
      auto signed_text = SignCommand(captured->text.view(), context);
      if (signed_text) PutResult(job, *signed_text);
      return;
    }
    case RsaTextCommand::Verify: {
      auto captured = TakeText(job);
      if (!captured) return messages.Show(shell::CaptureFailureMessage(captured.code()), BoxKind::Error);
      VerifyCommand(captured->text.view(), context);
      return;
    }
    case RsaTextCommand::InsertMyKey: {
      // The clipboard variant starts from an empty clipboard: the result is
      // the key block alone. A window without text gets the block alone too.
      shell::CapturedText text;
      if (job.fromWindow) {
        auto captured = TakeText(job);
        if (!captured && captured.code() == Errc::AccessDenied) {
          return messages.Show(Msg::TargetElevated, BoxKind::Error);
        }
        if (captured) text = std::move(*captured);
      } else {
        shell::ClearClipboard();
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

void StartRsaTextCommand(shell::App& app, KeysUi& ui, RsaTextCommand command, bool fromWindow,
                         bool onThisThread) {
  HWND target = fromWindow ? shell::FindTargetWindow(app.mainWindow()) : nullptr;
  auto operation = shell::TextOperation::Begin(app);
  if (!operation) return;
  auto job = std::make_shared<RsaJob>(RsaJob{std::move(*operation), ui, command, fromWindow, target,
                                             app.settings().showText, app.textHooks()});
  if (onThisThread) {
    RunRsaJob(*job);
    return;
  }
  if (!shell::StartDetachedThread([job] { RunRsaJob(*job); })) {
    app.messages().Show(Msg::MemoryAllocationError, BoxKind::Error);
  }
}

}  // namespace qvx::keyui
