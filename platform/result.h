// Result type used by the portable cores: a value or an error code with detail.
// Errors travel upward explicitly; only the user-facing layer turns them into text.
#pragma once

#include <string>
#include <utility>
#include <variant>

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
};

const char* ErrcName(Errc code);

struct Error {
  Errc code;
  std::string detail;
};

inline Error MakeError(Errc code, std::string detail = {}) { return Error{code, std::move(detail)}; }

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
  Error error_{Errc::Io, {}};
  bool failed_ = false;
};

using Status = Result<void>;

inline Status Ok() { return Status(); }

}  // namespace qvx
