#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "io/Errno.h"
#include "io/InputFile.h"

namespace rungwell {

InputFile::~InputFile() {
  Close();
}

std::error_code InputFile::Open(const std::string& path) {
  Close();
  descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    return LastErrno();
  }
  return Examine();
}

std::error_code InputFile::OpenStandardInput() {
  Close();
  // A descriptor of its own, so that closing the file leaves standard input open.
  descriptor = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  if (descriptor < 0) {
    return LastErrno();
  }
  if (const std::error_code error = Examine()) {
    return error;
  }
  if (regular) {
    const off_t at = lseek(descriptor, 0, SEEK_CUR);
    regular = at >= 0;
    start = at >= 0 ? static_cast<std::uint64_t>(at) : 0;
  }
  // The bits of a pipe or a terminal that the shell made say nothing of what
  // the bytes through it should be kept as (a pipe's are private).
  if (!regular) {
    permissions.reset();
  }
  return {};
}

namespace {

// Whether output is input in the sense that writing it would change what is
// read, or feed the run its own output: the same plain file, block device or
// pipe. A terminal, /dev/null or a socket read and written is no such thing.
bool SameBytes(const struct stat& input, const struct stat& output) {
  return input.st_dev == output.st_dev && input.st_ino == output.st_ino &&
         (S_ISREG(input.st_mode) || S_ISBLK(input.st_mode) || S_ISFIFO(input.st_mode));
}

}  // namespace

bool InputFile::IsSameFileAs(const std::string& path) const {
  struct stat mine {};
  struct stat other {};
  // stat follows every link, /dev/stdout and /dev/fd/N too, to what they name.
  return descriptor >= 0 && fstat(descriptor, &mine) == 0 && stat(path.c_str(), &other) == 0 && SameBytes(mine, other);
}

bool InputFile::IsStandardOutput() const {
  struct stat mine {};
  struct stat output {};
  return descriptor >= 0 && fstat(descriptor, &mine) == 0 && fstat(STDOUT_FILENO, &output) == 0 &&
         SameBytes(mine, output);
}

std::error_code InputFile::Examine() {
  struct stat info {};
  if (fstat(descriptor, &info) != 0) {
    const std::error_code error = LastErrno();
    Close();
    return error;
  }
  if (S_ISDIR(info.st_mode)) {
    Close();
    return std::make_error_code(std::errc::is_a_directory);
  }
  regular = S_ISREG(info.st_mode);
  permissions = static_cast<unsigned>(info.st_mode) & 07777U;
  return {};
}

std::error_code InputFile::Read(char* into, std::size_t count, std::size_t& got) {
  // In order from where the file stands, as a regular file stands at start:
  // reads again at an offset leave that place alone.
  got = 0;
  const ssize_t n = RetryOnInterrupt([&] { return read(descriptor, into, count); });
  if (n < 0) {
    return LastErrno();
  }
  got = static_cast<std::size_t>(n);
  return {};
}

std::error_code InputFile::ReadAt(std::uint64_t offset, char* into, std::size_t count, std::size_t& got) const {
  got = 0;
  const ssize_t n =
      RetryOnInterrupt([&] { return pread(descriptor, into, count, static_cast<off_t>(start + offset)); });
  if (n < 0) {
    return LastErrno();
  }
  got = static_cast<std::size_t>(n);
  return {};
}

std::error_code InputFile::Size(std::uint64_t& size) const {
  struct stat info {};
  if (fstat(descriptor, &info) != 0) {
    return LastErrno();
  }
  const auto bytes = static_cast<std::uint64_t>(info.st_size);
  size = bytes > start ? bytes - start : 0;
  return {};
}

void InputFile::Close() noexcept {
  if (descriptor >= 0) {
    (void)close(descriptor);
    descriptor = -1;
  }
  regular = false;
  start = 0;
  permissions.reset();
}

}  // namespace rungwell
