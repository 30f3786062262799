// The encrypt/decrypt commands: "Encrypt/Decrypt selected window text"
// (40054, hot key 2), "... all window text" (40055, hot key 1) and "... from
// clipboard" (40071, hot key 0). Each run takes a text operation, so a second
// command while one runs is refused, and then works on a thread of its own
// with everything it needs copied in: the tray stays responsive, and the run
// never reaches back into the App.
#include <memory>

#include "keys/key_store.h"
#include "keys/rsa_envelope.h"
#include "platform/system.h"
#include "resources/shell_ids.h"
#include "shell/app.h"
#include "shell/feature.h"
#include "shell/message_box.h"
#include "shell/password_prompts.h"
#include "shell/progress_dialog.h"
#include "shell/text_capture.h"
#include "shell/text_windows.h"
#include "shell/win32_util.h"

namespace qvx::shell {

namespace {

// The desktop side of one run: the target window, the clipboard, the windows
// that show texts.
class WindowDesk final : public CryptDesk {
 public:
  WindowDesk(TextOperation& operation, HWND target, TextSource source,
             std::shared_ptr<OperationGate> gate)
      : operation_(operation), target_(target), source_(source), gate_(std::move(gate)) {}

  Result<CapturedText> Capture() override { return operation_.Capture(target_, source_); }

  bool ConfirmOriginal(std::string_view text) override {
    operation_.SetPhase(OperationPhase::WithUser);
    const bool right = ConfirmOriginalText(text);
    operation_.SetPhase(OperationPhase::Working);
    return right;
  }

  Status PutBack(std::string_view result) override { return operation_.PutBack(target_, result); }

  void ShowInViewer(const SecureString& result, bool pastBack) override {
    // "Past back" only into the window the text came from, checked by its
    // process too.
    ShowTextViewer(result, pastBack ? operation_.target() : WindowIdentity{}, gate_);
  }

 private:
  TextOperation& operation_;
  HWND target_;
  TextSource source_;
  std::shared_ptr<OperationGate> gate_;
};

// One run with all it needs.
struct CryptJob {
  TextOperation operation;
  HWND target = nullptr;
  CryptRequest request;
  TextHooks hooks;
  std::shared_ptr<OperationGate> gate;
  HINSTANCE instance = nullptr;
};

void RunCryptJob(CryptJob& job) {
  MessageBoxes messages(job.instance);
  DialogPasswordPrompt passwords(job.hooks.passwordFromStorage);
  DialogProgress progress;
  // RSA blocks are opened with the keys beside the program, in either mode;
  // new blocks go to a recipient only in RSA-keys mode.
  const KeyStore store(ProgramFolder());
  PromptedProtectionKeys privateKeys(job.hooks);
  RecipientQuestion recipient = [&]() -> std::optional<std::string> {
    if (job.hooks.chooseRecipient) return job.hooks.chooseRecipient();
    messages.Show(Msg::NoRecipientChooser, BoxKind::Warning);
    return std::nullopt;
  };
  KeyStoreEnvelopes envelopes(store, recipient, privateKeys);
  CryptoTextOperation engine(passwords, messages, &progress, &envelopes);
  WindowDesk desk(job.operation, job.target, job.request.source, job.gate);
  RunCryptCommand(job.request, desk, engine, messages);
}

// Starts a run: on this thread (the menu commands for window text already
// have one of their own) or on a new one.
void StartCrypt(App& app, TextSource source, bool onThisThread) {
  // The target is found before anything else can take the foreground.
  HWND target = FromWindow(source) ? FindTargetWindow(app.mainWindow()) : nullptr;
  auto operation = TextOperation::Begin(app);
  if (!operation) return;
  // The run goes straight to the target's keys: a command that comes in the
  // meantime is refused with a beep, never with a box that would take the
  // focus the keys are about to be played into.
  operation->SetPhase(OperationPhase::AtTarget);
  auto job = std::make_shared<CryptJob>(CryptJob{std::move(*operation), target, {}, app.textHooks(),
                                                 app.textOperations(), app.instance()});
  job->request.source = source;
  job->request.showText = app.settings().showText;
  job->request.mode = app.mode() == CryptoMode::RsaKeys ? EnvelopeMode::Rsa : EnvelopeMode::Password;
  if (onThisThread) {
    RunCryptJob(*job);
    return;
  }
  if (!StartDetachedThread([job] { RunCryptJob(*job); })) {
    app.messages().Show(Msg::MemoryAllocationError, BoxKind::Error);
  }
}

void Install(App& app) {
  CommandRouter& router = app.router();
  router.BindCommand(IDM_CRYPT_SELECTION, [&app] { StartCrypt(app, TextSource::Selection, true); });
  router.BindCommand(IDM_CRYPT_WINDOW, [&app] { StartCrypt(app, TextSource::WholeWindow, true); });
  router.BindCommand(IDM_CRYPT_CLIPBOARD, [&app] { StartCrypt(app, TextSource::Clipboard, false); });
  router.BindHotKey(0, [&app] { StartCrypt(app, TextSource::Clipboard, false); });
  router.BindHotKey(1, [&app] { StartCrypt(app, TextSource::WholeWindow, false); });
  router.BindHotKey(2, [&app] { StartCrypt(app, TextSource::Selection, false); });
}

FeatureRegistration registration("crypt", &Install);

}  // namespace

}  // namespace qvx::shell
