// The encrypt/decrypt commands. Each run takes a text operation, so a second
// command while one runs is refused, and then works on a thread of its own
// with everything it needs copied in: the tray stays responsive, and the run
// never reaches back into the tray program.
#include "shell/crypt_commands.h"

#include <memory>
#include <string>

#include "keys/key_store.h"
#include "keys/key_store_envelopes.h"
#include "keys/key_store_recipients.h"
#include "keys/ui/key_selection_dialog.h"
#include "resources/shell_ids.h"
#include "shell/text_capture.h"
#include "shell/text_windows.h"
#include "win32ui/message_box.h"
#include "win32ui/password_prompts.h"
#include "win32ui/progress_dialog.h"
#include "win32ui/win32_util.h"

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

  Status PutBack(std::string_view result) override {
    operation_.trace().Mark("engine done", std::to_string(result.size()) + " bytes out");
    return operation_.PutBack(target_, result);
  }

  void ShowInViewer(const SecureString& result, bool past_back) override {
    operation_.trace().Mark("engine done", std::to_string(result.size()) + " bytes out");
    // "Past back" only into the window the text came from, checked by its
    // process too.
    ShowTextViewer(result, past_back ? operation_.target() : WindowIdentity{}, gate_,
                   operation_.trace());
  }

 private:
  TextOperation& operation_;
  HWND target_;
  TextSource source_;
  std::shared_ptr<OperationGate> gate_;
};

// The password dialogs, with the moments they open and close in the trace.
class TracedPrompt final : public PasswordPrompt {
 public:
  TracedPrompt(PasswordPrompt& prompt, OperationTrace& trace) : prompt_(prompt), trace_(trace) {}

  Result<Key256> AskEncryptionKey() override { return Traced([&] { return prompt_.AskEncryptionKey(); }); }
  Result<Key256> AskDecryptionKey(DecryptionPasswordRequest& request) override {
    return Traced([&] { return prompt_.AskDecryptionKey(request); });
  }

 private:
  template <class Ask>
  Result<Key256> Traced(Ask ask) {
    trace_.Mark("prompt shown");
    Result<Key256> key = ask();
    trace_.Mark(key ? "OK pressed" : "prompt closed");
    return key;
  }

  PasswordPrompt& prompt_;
  OperationTrace& trace_;
};

// One run with all it needs; the key dialogs live as long as the program.
struct CryptJob {
  TextOperation operation;
  HWND target = nullptr;
  CryptRequest request;
  keys::ui::KeysUi& keys;
  std::shared_ptr<OperationGate> gate;
};

void RunCryptJob(CryptJob& job) {
  win32ui::MessageBoxes& messages = job.keys.messages();
  win32ui::DialogPasswordPrompt dialogs(job.keys.prompts());
  TracedPrompt passwords(dialogs, job.operation.trace());
  win32ui::DialogProgress progress;
  // RSA blocks are opened with the keys beside the program, in either mode;
  // new blocks go to a recipient only in RSA-keys mode.
  const auto private_keys = job.keys.ProtectionKeys();
  RecipientQuestion recipient = [&job] {
    return keys::ui::SelectKey(job.keys, KeyKind::Other);
  };
  KeyStoreEnvelopes envelopes(job.keys.store(), recipient, *private_keys);
  // Hardened blocks go to any number of keys, chosen with check boxes.
  RecipientsQuestion recipients = [&job] { return keys::ui::SelectRecipients(job.keys); };
  KeyStoreRecipients hardened(job.keys.store(), recipients, *private_keys);
  CryptoTextOperation engine(passwords, &progress, &envelopes, &hardened);
  WindowDesk desk(job.operation, job.target, job.request.source, job.gate);
  RunCryptCommand(job.request, desk, engine, messages);
  // A recipient's key under 2048 bits: said once the text is in place.
  ShowNotices(messages, envelopes.notices());
}

std::string CommandName(TextSource source) {
  switch (source) {
    case TextSource::Selection: return "encrypt/decrypt selection";
    case TextSource::WholeWindow: return "encrypt/decrypt window";
    case TextSource::Clipboard: return "encrypt/decrypt clipboard";
  }
  return "encrypt/decrypt";
}

// Starts a run: on this thread (the menu commands for window text already
// have one of their own) or on a new one. A menu command works on the window
// the user was in when the menu opened.
void StartCrypt(TextCommandHost& host, keys::ui::KeysUi& keys, TextSource source, bool from_menu) {
  // The target is found before anything else can take the foreground.
  HWND remembered = from_menu ? host.TakeMenuTarget() : nullptr;
  HWND target = !FromWindow(source) ? nullptr
                : from_menu         ? MenuCommandTarget(remembered, host.main_window())
                                    : FindTargetWindow(host.main_window());
  const bool on_this_thread = from_menu && FromWindow(source);
  auto operation = TextOperation::Begin(host.text_operations(), host.messages(), CommandName(source));
  if (!operation) return;
  operation->trace().Mark("target found");
  // The run goes straight to the target's keys: a command that comes in the
  // meantime is refused with a beep, never with a box that would take the
  // focus the keys are about to be played into.
  operation->SetPhase(OperationPhase::AtTarget);
  auto job = std::make_shared<CryptJob>(
      CryptJob{std::move(*operation), target, {}, keys, host.text_operations()});
  job->request.source = source;
  job->request.show_text = host.settings().show_text;
  job->request.mode =
      host.settings().mode == CryptoMode::RsaKeys ? EnvelopeMode::Rsa : EnvelopeMode::Password;
  job->request.format = host.settings().crypto_format;
  if (on_this_thread) {
    RunCryptJob(*job);
    return;
  }
  if (!win32ui::StartDetachedThread([job] { RunCryptJob(*job); })) {
    host.messages().Show(Msg::MemoryAllocationError, BoxKind::Error);
  }
}

}  // namespace

void BindCryptCommands(CommandRouter& router, TextCommandHost& host, keys::ui::KeysUi& keys) {
  // Window-text menu commands run on a thread of their own already.
  const struct {
    std::uint16_t command;
    HotKeyId hot_key;
    TextSource source;
  } bindings[] = {
      {IDM_CRYPT_SELECTION, HotKeyId::Selection, TextSource::Selection},
      {IDM_CRYPT_WINDOW, HotKeyId::WholeWindow, TextSource::WholeWindow},
      {IDM_CRYPT_CLIPBOARD, HotKeyId::Clipboard, TextSource::Clipboard},
  };
  for (const auto& b : bindings) {
    router.BindCommand(b.command, [&host, &keys, source = b.source] {
      StartCrypt(host, keys, source, true);
    });
    router.BindHotKey(b.hot_key, [&host, &keys, source = b.source] {
      StartCrypt(host, keys, source, false);
    });
  }
}

}  // namespace qvx::shell
