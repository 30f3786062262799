// Names of the error codes, for diagnostics and the command-line tool.
#include "platform/result.h"

namespace qvx {

const char* ErrcName(Errc code) {
  switch (code) {
    case Errc::Io: return "input/output error";
    case Errc::NotFound: return "not found";
    case Errc::AlreadyExists: return "already exists";
    case Errc::Corrupted: return "corrupted data";
    case Errc::WrongPassword: return "wrong password or bad data";
    case Errc::Cancelled: return "cancelled";
    case Errc::InvalidArgument: return "invalid argument";
    case Errc::OutOfMemory: return "out of memory";
    case Errc::Crypto: return "cryptographic library error";
    case Errc::Unsupported: return "unsupported";
    case Errc::AccessDenied: return "access denied";
    case Errc::Interrupted: return "interrupted";
    case Errc::Busy: return "in use by another program";
    case Errc::NotDelivered: return "not delivered";
  }
  return "unknown error";
}

}  // namespace qvx
