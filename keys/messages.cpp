// The messages of a failed key load.
#include "keys/messages.h"

namespace qvx {

Error PublicKeyLoadFailure(Error error) {
  error.Then(error.code == Errc::Corrupted ? Msg::PublicKeyCorrupted : Msg::PublicKeyOpenError,
             BoxKind::Error);
  return error;
}

Error PrivateKeyLoadFailure(Error error) {
  switch (error.code) {
    case Errc::Cancelled: return error;
    case Errc::Corrupted:
    case Errc::WrongPassword: error.Then(Msg::PrivateKeyCorrupted, BoxKind::Error); break;
    case Errc::Io:
    case Errc::NotFound:
    case Errc::AccessDenied:
      // The file did not open: its header could not even be read.
      error.Then(Msg::KeyLoadError, BoxKind::Error);
      break;
    default: break;
  }
  error.Then(Msg::PrivateKeyOpenError, BoxKind::Error);
  return error;
}

}  // namespace qvx
