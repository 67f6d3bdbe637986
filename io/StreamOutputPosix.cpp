#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>

#include "io/Errno.h"
#include "io/StreamOutput.h"
#include "io/WriteAll.h"

namespace rungwell {

namespace {

// Opened for writing only, never made or truncated; no terminal becomes the
// program's own, and no child inherits it. Without a wait: a FIFO with no
// reader fails with ENXIO at once, and a serial line opens whatever its
// carrier says. The wait is taken off again for the writes.
int OpenWithoutWaiting(const std::string& path) {
  const int opened = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (opened >= 0) {
    const int flags = fcntl(opened, F_GETFL);
    if (flags < 0 || fcntl(opened, F_SETFL, flags & ~O_NONBLOCK) != 0) {
      const int cause = errno;
      (void)close(opened);
      errno = cause;
      return -1;
    }
  }
  return opened;
}

bool IsFifo(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

}  // namespace

StreamOutput::~StreamOutput() {
  Discard();
}

std::error_code StreamOutput::OpenStandardOutput() {
  Discard();
  fd = STDOUT_FILENO;
  return {};
}

std::error_code StreamOutput::Open(const OutputTarget& target) {
  Discard();
  if (target.kind == OutputTarget::Kind::Descriptor) {
    // Written into as it stands, as standard output is: not closed at the end.
    const int flags = fcntl(target.descriptor, F_GETFL);
    if (flags < 0) {
      return LastErrno();
    }
    if ((flags & O_ACCMODE) == O_RDONLY) {
      return std::make_error_code(std::errc::bad_file_descriptor);
    }
    fd = target.descriptor;
    return {};
  }
  fd = OpenWithoutWaiting(target.path);
  if (fd < 0) {
    // No reader yet: one may come once there is something to read. Opened
    // now, the run would wait for it before reading its input.
    if (errno == ENXIO && IsFifo(target.path)) {
      pending = target.path;
      return {};
    }
    return LastErrno();
  }
  owned = true;
  return {};
}

std::error_code StreamOutput::OpenWhenRead() {
  // The open that waits for a reader cannot be ended by another thread, so
  // the FIFO is tried again after growing pauses, and Cancel is seen between
  // them.
  for (auto pause = std::chrono::milliseconds(1);; pause = std::min(2 * pause, std::chrono::milliseconds(50))) {
    if (cancelled.load()) {
      return std::make_error_code(std::errc::operation_canceled);
    }
    fd = OpenWithoutWaiting(pending);
    if (fd >= 0) {
      owned = true;
      pending.clear();
      return {};
    }
    if (errno != ENXIO && errno != EINTR) {
      return LastErrno();
    }
    std::this_thread::sleep_for(pause);
  }
}

std::error_code StreamOutput::Write(const char* data, std::size_t size) {
  if (fd < 0 && !pending.empty()) {
    if (const std::error_code error = OpenWhenRead()) {
      return error;
    }
  }
  return WriteAll(data, size, SSIZE_MAX, [this](const char* from, std::size_t count, std::size_t& done) {
    const ssize_t n = RetryOnInterrupt([&] { return write(fd, from, count); });
    if (n < 0) {
      return LastErrno();
    }
    done = static_cast<std::size_t>(n);
    return std::error_code();
  });
}

std::error_code StreamOutput::Finish() {
  std::error_code error;
  if (fd < 0 && !pending.empty()) {
    error = OpenWhenRead();
  }
  if (!error && owned) {
    const int closing = fd;
    fd = -1;
    owned = false;
    error = close(closing) != 0 ? LastErrno() : std::error_code();
  }
  Discard();
  return error;
}

void StreamOutput::Discard() noexcept {
  if (owned && fd >= 0) {
    // Whatever closing reports, nothing can be taken back.
    (void)close(fd);
  }
  fd = -1;
  owned = false;
  pending.clear();
  cancelled.store(false);
}

}  // namespace rungwell
