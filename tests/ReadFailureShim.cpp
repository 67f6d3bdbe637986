// Loaded into the program under test with LD_PRELOAD: makes reads of one file
// fail with EIO from byte RUNGWELL_FAIL_READ_AT on, as a failing disk or a
// dropped network share would, however the program reads it (read, pread).
// The file is the one whose path ends in RUNGWELL_FAIL_READ_NAME. With
// RUNGWELL_FAIL_CLOSE set, closing a file being written fails with EIO, as a
// network share or a full quota may refuse at the last moment data that the
// writes took.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// Whether fd is the file to fail.
bool Chosen(int fd) {
  const char* name = std::getenv("RUNGWELL_FAIL_READ_NAME");
  if (name == nullptr) {
    return false;
  }
  char target[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
  const std::size_t nameLength = std::strlen(name);
  return length >= static_cast<ssize_t>(nameLength) &&
         std::memcmp(target + length - static_cast<ssize_t>(nameLength), name, nameLength) == 0;
}

unsigned long long FailAt() {
  const char* at = std::getenv("RUNGWELL_FAIL_READ_AT");
  return at != nullptr ? std::strtoull(at, nullptr, 10) : ~0ULL;
}

// With RUNGWELL_READ_NANOSECONDS_PER_BYTE set, reads of the file are as slow
// as a slow disk's, so that a test can end a run in its middle however fast
// the machine.
void Linger(std::size_t count) {
  const char* pace = std::getenv("RUNGWELL_READ_NANOSECONDS_PER_BYTE");
  if (pace != nullptr) {
    const unsigned long long nanoseconds = std::strtoull(pace, nullptr, 10) * count;
    timespec wait{static_cast<time_t>(nanoseconds / 1000000000ULL), static_cast<long>(nanoseconds % 1000000000ULL)};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
  }
}

// How much of a read from offset may still succeed: count, fewer, or -1 to fail.
ssize_t Allowed(unsigned long long offset, std::size_t count) {
  Linger(count);
  const unsigned long long limit = FailAt();
  if (offset >= limit) {
    errno = EIO;
    return -1;
  }
  return static_cast<ssize_t>(std::min<unsigned long long>(count, limit - offset));
}

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Bytes read so far from each descriptor read in order.
unsigned long long consumed[1024];

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, std::size_t count) {
  static const auto next = Next<ssize_t (*)(int, void*, std::size_t)>("read");
  if (fd < 0 || fd >= 1024 || !Chosen(fd)) {
    return next(fd, buffer, count);
  }
  const ssize_t allowed = Allowed(consumed[fd], count);
  if (allowed < 0) {
    return -1;
  }
  const ssize_t got = next(fd, buffer, static_cast<std::size_t>(allowed));
  consumed[fd] += got > 0 ? static_cast<unsigned long long>(got) : 0;
  return got;
}

extern "C" ssize_t pread64(int fd, void* buffer, std::size_t count, off_t offset) {
  static const auto next = Next<ssize_t (*)(int, void*, std::size_t, off_t)>("pread64");
  if (!Chosen(fd)) {
    return next(fd, buffer, count, offset);
  }
  const ssize_t allowed = Allowed(static_cast<unsigned long long>(offset), count);
  return allowed < 0 ? -1 : next(fd, buffer, static_cast<std::size_t>(allowed), offset);
}

extern "C" ssize_t pread(int fd, void* buffer, std::size_t count, off_t offset) {
  return pread64(fd, buffer, count, offset);
}

// A regular file opened for writing only, as the unfinished output is.
bool BeingWritten(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  struct stat info {};
  return flags >= 0 && (flags & O_ACCMODE) == O_WRONLY && fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// The descriptor is closed all the same, as the system does when it reports
// such a failure.
extern "C" int close(int fd) {
  static const auto next = Next<int (*)(int)>("close");
  const bool fail = std::getenv("RUNGWELL_FAIL_CLOSE") != nullptr && BeingWritten(fd);
  const int result = next(fd);
  if (fail && result == 0) {
    errno = EIO;
    return -1;
  }
  return result;
}
