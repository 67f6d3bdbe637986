#include "io/Win32.h"

#include <cerrno>
#include <climits>
#include <string>

namespace rungwell {

namespace {

// Codes with no errno value that says the same, in the system's words.
class Win32Category final : public std::error_category {
 public:
  const char* name() const noexcept override { return "win32"; }

  std::string message(int code) const override {
    wchar_t* text = nullptr;
    // Language 0: the user's own, as far as the system has its messages.
    const DWORD size =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = size > 0 ? Narrow(std::wstring_view(text, size), TextUse::Display) : std::string();
    (void)LocalFree(text);
    // The system's text is a sentence with a line end; the message goes
    // after "path: " on a line of its own.
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' || message.back() == '.')) {
      message.pop_back();
    }
    return message.empty() ? "Windows error " + std::to_string(static_cast<unsigned long>(code)) : message;
  }
};

const Win32Category win32Category;

int ErrnoFor(unsigned long code) noexcept {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return ENAMETOOLONG;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NO_UNICODE_TRANSLATION:
      return EILSEQ;
    // A pipe whose reader has gone.
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return EPIPE;
    default:
      return 0;
  }
}

// The Win32 code that says what errorNumber says, or 0 where none does. Of
// the codes that ErrnoFor merges, the one that Windows gives most.
unsigned long Win32CodeFor(int errorNumber) noexcept {
  switch (errorNumber) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EILSEQ:
      return ERROR_NO_UNICODE_TRANSLATION;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    case EIO:
      return ERROR_IO_DEVICE;
    case EFBIG:
      return ERROR_FILE_TOO_LARGE;
    default:
      return 0;
  }
}

}  // namespace

std::error_code Widen(std::string_view narrow, TextUse use, std::wstring& wide) {
  wide.clear();
  if (narrow.empty()) {
    return {};
  }
  if (narrow.size() > static_cast<std::size_t>(INT_MAX)) {
    return std::make_error_code(use == TextUse::FileName ? std::errc::filename_too_long : std::errc::value_too_large);
  }
  const DWORD flags = use == TextUse::FileName ? MB_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(narrow.size());
  const int wideSize = MultiByteToWideChar(CP_ACP, flags, narrow.data(), size, nullptr, 0);
  if (wideSize <= 0) {
    return LastWin32Error();
  }
  wide.resize(static_cast<std::size_t>(wideSize));
  if (MultiByteToWideChar(CP_ACP, flags, narrow.data(), size, wide.data(), wideSize) != wideSize) {
    const std::error_code error = LastWin32Error();
    wide.clear();
    return error;
  }
  return {};
}

std::string Narrow(std::wstring_view wide, TextUse use) {
  if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) {
    return {};
  }
  // Where the code page is UTF-8 every character has its bytes, and the
  // system takes no flag for it.
  const DWORD flags = use == TextUse::FileName && GetACP() != CP_UTF8 ? WC_NO_BEST_FIT_CHARS : 0;
  const int size = static_cast<int>(wide.size());
  const int narrowSize = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(narrowSize > 0 ? narrowSize : 0), '\0');
  if (narrowSize > 0) {
    (void)WideCharToMultiByte(CP_ACP, flags, wide.data(), size, narrow.data(), narrowSize, nullptr, nullptr);
  }
  return narrow;
}

std::error_code Win32Error(unsigned long code) noexcept {
  if (const int errorNumber = ErrnoFor(code)) {
    return {errorNumber, std::generic_category()};
  }
  return {static_cast<int>(code), win32Category};
}

std::error_code LastWin32Error() noexcept {
  return Win32Error(GetLastError());
}

std::string SystemMessage(std::error_code error) {
  if (error.category() == std::generic_category()) {
    if (const unsigned long code = Win32CodeFor(error.value())) {
      return win32Category.message(static_cast<int>(code));
    }
  }
  return error.message();
}

}  // namespace rungwell
