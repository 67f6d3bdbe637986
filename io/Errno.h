#pragma once

// How calls that report through errno say why they failed: the system's on
// Linux, the C library's on every system (so this builds on Windows too).

#include <cerrno>
#include <system_error>

namespace rungwell {

// errorNumber as an error. A failure that set no errno still failed, and a
// success must never stand for it: EIO is the honest reason left.
inline std::error_code ErrorFrom(int errorNumber) noexcept {
  return {errorNumber != 0 ? errorNumber : EIO, std::generic_category()};
}

// ErrorFrom(errno), for right after the call that failed.
inline std::error_code LastErrno() noexcept {
  return ErrorFrom(errno);
}

// Calls call, which returns a negative number on failure, again for as long
// as a signal interrupts it: that is no failure of the file's, only of the
// moment. errno is cleared before each call, so that a failure that leaves it
// unset reads as EIO and not as some earlier call's reason.
template <typename Call>
auto RetryOnInterrupt(Call call) -> decltype(call()) {
  for (;;) {
    errno = 0;
    const auto result = call();
    if (result >= 0 || errno != EINTR) {
      return result;
    }
  }
}

}  // namespace rungwell
