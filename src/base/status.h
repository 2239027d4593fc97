#pragma once

// The program's one way to say "it may fail, and here is why": a Status names the kind of failure
// with the platform's error code behind it (GetLastError or a Winsock code on Windows), and a
// Result<T> carries either a value or the Status that kept it from being made. A function that
// returns nothing but may fail returns a Status. std::optional stays for values that may be
// absent as a matter of course; it never stands for a failure.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <variant>

namespace kalvane {

enum class StatusKind : std::uint8_t {
  kOk = 0,
  kNotFound,       // the file, name or object asked for does not exist
  kFailed,         // the operation failed; the system error code says why when one is known
  kPartial,        // the operation stopped half way and left a state its caller has to mend
  kBrokenOff,      // the peer closed the connection before the answer was complete
  kRejected,       // the input is not what was asked for (a malformed answer, a forged value)
  kUnconvertible,  // text holds a character the code page has no single-byte code for
  kTimedOut,       // nothing came within the wait
  kCancelled,      // the program is closing, or the caller gave up
  kOutOfMemory,    // an allocation failed
};

class [[nodiscard]] Status {
 public:
  // Success.
  constexpr Status() = default;

  // A failure of `kind`; `system_error` is the platform's code behind it, 0 when none is known.
  // `position` tells where in the input a kRejected or kUnconvertible failure lies.
  static constexpr Status Failure(StatusKind kind, std::uint32_t system_error = 0,
                                  std::size_t position = 0) {
    Status status;
    status.kind_ = kind;
    status.system_error_ = system_error;
    status.position_ = position;
    return status;
  }

  constexpr bool ok() const { return kind_ == StatusKind::kOk; }
  constexpr StatusKind kind() const { return kind_; }
  constexpr std::uint32_t system_error() const { return system_error_; }
  constexpr std::size_t position() const { return position_; }

  constexpr bool operator==(const Status&) const = default;
  friend constexpr bool operator==(const Status& status, StatusKind kind) {
    return status.kind_ == kind;
  }

 private:
  StatusKind kind_ = StatusKind::kOk;
  std::uint32_t system_error_ = 0;
  std::size_t position_ = 0;
};

inline constexpr Status OkStatus() { return Status(); }

// Either a value or the failure that kept it from being made. Check ok() before value(): value()
// of a failure, like status() of a value, is a programming error (std::bad_variant_access).
template <typename T>
class [[nodiscard]] Result {
 public:
  // Implicit, so that a function returns either its value or its failure.
  Result(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}
  Result(Status failure) : outcome_(std::in_place_index<1>, failure) {}

  bool ok() const noexcept { return outcome_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }

  const T& value() const& { return std::get<0>(outcome_); }
  T& value() & { return std::get<0>(outcome_); }
  T&& value() && { return std::get<0>(std::move(outcome_)); }
  const T& operator*() const& { return value(); }
  const T* operator->() const { return &value(); }

  // OkStatus() for a value.
  Status status() const { return ok() ? OkStatus() : std::get<1>(outcome_); }

 private:
  std::variant<T, Status> outcome_;
};

}  // namespace kalvane
