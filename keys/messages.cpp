#include "keys/messages.h"

namespace qvx {

void ReportPublicKeyLoadFailure(MessageSink& messages, const Error& error) {
  messages.Show(error.code == Errc::Corrupted ? Msg::PublicKeyCorrupted : Msg::PublicKeyOpenError,
                BoxKind::Error);
}

void ReportPrivateKeyLoadFailure(MessageSink& messages, const Error& error) {
  if (error.code == Errc::Cancelled) return;
  if (error.code == Errc::Corrupted || error.code == Errc::WrongPassword) {
    messages.Show(Msg::PrivateKeyCorrupted, BoxKind::Error);
  }
  messages.Show(Msg::PrivateKeyOpenError, BoxKind::Error);
}

}  // namespace qvx
