// Result type used by the portable cores: a value or an error code with detail.
// Errors travel upward explicitly, carrying the messages the user is to be
// told by string id; only the layer that talks to the user shows them.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "qvx/strings.h"

namespace qvx {

enum class Errc {
  Io,               // a file or folder could not be read, written or created
  NotFound,         // a file, key or record does not exist
  AlreadyExists,    // refused to overwrite
  Corrupted,        // data failed a length, checksum or format check
  WrongPassword,    // data decrypted under the key failed its checks
  Cancelled,        // the user stopped the operation
  InvalidArgument,  // the caller passed something the operation cannot take
  OutOfMemory,
  Crypto,           // the crypto library reported a failure
  Unsupported,
  AccessDenied,     // the system refused the operation to this program
  Interrupted,      // the situation changed before the operation could finish
  Busy,             // another program holds the file's lock
  NotDelivered,     // a result was sent to another program's window and did not arrive
};

const char* ErrcName(Errc code);

// How a message is shown: a plain box, an error box or a warning.
enum class BoxKind { Plain, Error, Warning };

// One message for the user: a string-table id, its box kind and the text that
// fills a "%s" in it (a path, a name, a reason), when there is one.
struct Notice {
  Msg id;
  BoxKind kind = BoxKind::Plain;
  std::string arg;

  bool operator==(const Notice& other) const {
    return id == other.id && kind == other.kind && arg == other.arg;
  }
};

struct Error {
  Errc code;
  std::string detail;  // for logs and the command-line tool's diagnostics, never a box
  // What the user is told about this failure, in the order of the boxes
  // (usually one; a key load failure, for example, can be two). Empty when
  // the user must not be told anything (the user cancelled).
  std::vector<Notice> messages;

  // The first message's id; nullopt when the failure is silent.
  std::optional<Msg> message() const {
    if (messages.empty()) return std::nullopt;
    return messages.front().id;
  }
  // Adds a box shown after the ones already carried.
  Error& Then(Msg id, BoxKind kind = BoxKind::Plain, std::string arg = {}) {
    messages.push_back(Notice{id, kind, std::move(arg)});
    return *this;
  }
};

// A failure the user is not told about (yet); a layer above may add its message.
inline Error MakeError(Errc code, std::string detail = {}) { return Error{code, std::move(detail), {}}; }

// A failure with the message the user is to see.
inline Error MakeError(Errc code, Msg message, BoxKind kind = BoxKind::Error, std::string arg = {},
                       std::string detail = {}) {
  Error error{code, std::move(detail), {}};
  error.Then(message, kind, std::move(arg));
  return error;
}

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit on purpose
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}  // NOLINT

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  const Error& error() const { return std::get<1>(state_); }
  Errc code() const { return error().code; }

 private:
  std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)), failed_(true) {}  // NOLINT

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const Error& error() const { return error_; }
  Errc code() const { return error_.code; }

 private:
  Error error_{Errc::Io, {}, {}};
  bool failed_ = false;
};

using Status = Result<void>;

inline Status Ok() { return Status(); }

}  // namespace qvx
