// One run of the encrypt/decrypt command.
#include "shell/model/crypt_command.h"

namespace qvx::shell {

Msg CaptureFailureMessage(Errc code) {
  return code == Errc::AccessDenied ? Msg::TargetElevated : Msg::ClipboardError;
}

Msg PutBackFailureMessage(Errc code) {
  switch (code) {
    case Errc::NotFound: return Msg::TargetWindowGone;
    case Errc::Interrupted: return Msg::TargetNotInFront;
    case Errc::AccessDenied: return Msg::TargetElevated;
    case Errc::NotDelivered: return Msg::ResultNotArrived;
    default: return Msg::ClipboardError;
  }
}

namespace {

CryptOutcome Decrypt(const CryptRequest& request, const CapturedText& captured, CryptDesk& desk,
                     CryptoTextOperation& engine, MessageUi& messages) {
  // A failure carries its messages; a cancelled first prompt carries none.
  auto plain = engine.DecryptAllBlocks(captured.text.view());
  if (!plain) {
    ShowFailure(messages, plain.error());
    return plain.code() == Errc::Cancelled ? CryptOutcome::Stopped : CryptOutcome::Failed;
  }
  ShowNotices(messages, plain->notices);
  // A decrypted text is never pasted straight back: it is shown, and the
  // user decides.
  desk.ShowInViewer(plain->text, FromWindow(request.source));
  return CryptOutcome::Shown;
}

CryptOutcome Encrypt(const CryptRequest& request, const CapturedText& captured, CryptDesk& desk,
                     CryptoTextOperation& engine, MessageUi& messages) {
  if (captured.lossy && !messages.Confirm(Msg::UnrepresentableCharacters)) {
    return CryptOutcome::Stopped;
  }
  if (request.show_text && !desk.ConfirmOriginal(captured.text.view())) return CryptOutcome::Stopped;

  auto block = engine.EncryptText(captured.text.view(), request.mode, request.format);
  if (!block) {
    if (!block.error().messages.empty()) {
      // The RSA envelope's failure says what went wrong.
      ShowFailure(messages, block.error());
      return block.code() == Errc::Cancelled ? CryptOutcome::Stopped : CryptOutcome::Failed;
    }
    switch (block.code()) {
      case Errc::Cancelled:
        return CryptOutcome::Stopped;
      case Errc::OutOfMemory:
        messages.Show(Msg::MemoryAllocationError, BoxKind::Error);
        return CryptOutcome::Failed;
      case Errc::InvalidArgument:
        messages.Show(Msg::TextTooLarge, BoxKind::Error);
        return CryptOutcome::Failed;
      case Errc::Unsupported:
        messages.Show(Msg::TextEncryptionFailed, BoxKind::Error);
        return CryptOutcome::Failed;
      default:
        return CryptOutcome::Failed;
    }
  }
  if (!FromWindow(request.source)) {
    // The clipboard keeps the original; the block is shown.
    desk.ShowInViewer(SecureString(*block), false);
    return CryptOutcome::Shown;
  }
  const Status put = desk.PutBack(*block);
  if (!put) {
    messages.Show(PutBackFailureMessage(put.code()),
                  put.code() == Errc::Interrupted ? BoxKind::Warning : BoxKind::Error);
    return CryptOutcome::Failed;
  }
  return CryptOutcome::PutBack;
}

}  // namespace

CryptOutcome RunCryptCommand(const CryptRequest& request, CryptDesk& desk,
                             CryptoTextOperation& engine, MessageUi& messages) {
  auto captured = desk.Capture();
  if (!captured) {
    messages.Show(CaptureFailureMessage(captured.code()), BoxKind::Error);
    return CryptOutcome::Failed;
  }
  if (captured->text.empty()) {
    messages.Show(Msg::NoText, BoxKind::Error);
    return CryptOutcome::Failed;
  }
  if (ContainsCryptoText(captured->text.view())) return Decrypt(request, *captured, desk, engine, messages);
  return Encrypt(request, *captured, desk, engine, messages);
}

}  // namespace qvx::shell
