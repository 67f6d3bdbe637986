#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <string>

#include "io/Errno.h"
#include "io/UnfinishedFile.h"
#include "io/WriteAll.h"

namespace rungwell {

namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The name through which the system reaches the file open at fd.
std::string SelfPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// The one file to remove should a signal end the run while a temporary name
// exists; null while there is none.
std::atomic<const char*> removeOnSignal{nullptr};

extern "C" void RemoveAndEnd(int signalNumber) {
  if (const char* path = removeOnSignal.load()) {
    (void)unlink(path);
  }
  // Ending by the same signal tells the caller, a shell say, what happened.
  (void)std::signal(signalNumber, SIG_DFL);
  (void)std::raise(signalNumber);
}

void RemoveOnSignal(const char* path) noexcept {
  static const bool installed = [] {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ}) {
      // A signal ignored by whoever started us, as nohup does, stays ignored.
      struct sigaction current {};
      if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
        (void)std::signal(signalNumber, RemoveAndEnd);
      }
    }
    return true;
  }();
  (void)installed;
  removeOnSignal.store(path);
}

#if defined(O_TMPFILE) && !defined(RUNGWELL_NAMED_TEMPORARY_FILES)
// An unnamed file in directory, or -1 where the system cannot make one there
// (errno 0) or anything else failed (errno set).
int UnnamedFileIn(const std::string& directory, mode_t mode) {
  const int fd = open(directory.empty() ? "." : directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd < 0) {
    // Older kernels and some network and FUSE file systems refuse it.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
      errno = 0;
    }
    return -1;
  }
  // The file gets its name through /proc; without /proc it never could, and
  // that must be known before anything is written, not at the end.
  if (access(SelfPath(fd).c_str(), F_OK) != 0) {
    (void)close(fd);
    errno = 0;
    return -1;
  }
  return fd;
}
#else
int UnnamedFileIn(const std::string& /*directory*/, mode_t /*mode*/) {
  errno = 0;
  return -1;
}
#endif

// A replacement keeps the earlier output's bits exactly: this undoes only
// what the umask took away, so the file is never more open than the earlier
// output. Where the file system refuses, it stays so.
void KeepEarlierBits(int fd, bool replacing, unsigned mode) {
  if (replacing) {
    (void)fchmod(fd, static_cast<mode_t>(mode));
  }
}

#ifdef __linux__
// Replacing a large file is slow where the file system flushes the new one
// and frees the old one's cached pages inside the rename. Writing back as we
// go, and dropping the old file's pages early, does that work while the
// conversion runs. Done unasked, the writing back slows new outputs down, so
// it is kept to replacements.
constexpr std::uint64_t WritebackStep = std::uint64_t{8} << 20;

void ForgetEarlierOutput(const std::string& path) {
  const int earlier = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (earlier >= 0) {
    (void)posix_fadvise(earlier, 0, 0, POSIX_FADV_DONTNEED);
    (void)close(earlier);
  }
}
#endif

// Writes all of data through call (write or pwrite of count bytes from
// from), continued after a short write and retried when interrupted.
template <typename Call>
std::error_code WriteAllThrough(const char* data, std::size_t size, Call call) {
  return WriteAll(data, size, SSIZE_MAX, [&](const char* from, std::size_t count, std::size_t& done) {
    const ssize_t n = RetryOnInterrupt([&] { return call(from, count); });
    if (n < 0) {
      return LastErrno();
    }
    done = static_cast<std::size_t>(n);
    return std::error_code();
  });
}

}  // namespace

unsigned long UnfinishedFile::ProcessNumber() noexcept {
  return static_cast<unsigned long>(getpid());
}

std::error_code UnfinishedFile::Prepare(const std::string& path, unsigned permissions) {
  outputPath = path;
  directory = DirectoryOf(outputPath);
  struct stat earlier {};
  const bool exists = stat(outputPath.c_str(), &earlier) == 0;
  // A name too long, or a folder that cannot be searched, would fail only
  // at the very end; better before the whole input has been converted.
  if (!exists && errno != ENOENT) {
    return LastErrno();
  }
  // Nothing renames a file over a directory; a folder that takes no new file
  // fails as the file is made.
  if (exists && S_ISDIR(earlier.st_mode)) {
    return std::make_error_code(std::errc::is_a_directory);
  }
  replacing = exists && S_ISREG(earlier.st_mode);
  // The umask applies to a new file, as for any file a tool creates; a
  // replacement keeps the earlier output's bits exactly (KeepEarlierBits).
  mode = (replacing ? static_cast<unsigned>(earlier.st_mode) : permissions) & 0777U;
  return {};
}

std::error_code UnfinishedFile::OpenUnnamed() {
  fd = UnnamedFileIn(directory, static_cast<mode_t>(mode));
  unnamed = fd >= 0;
  if (!unnamed) {
    return errno != 0 ? LastErrno() : std::error_code();
  }
  KeepEarlierBits(fd, replacing, mode);
  return {};
}

std::error_code UnfinishedFile::TakeName(const std::string& name) {
  temporaryPath = directory + name;
  // Armed before the name exists, so that no moment goes uncovered.
  RemoveOnSignal(temporaryPath.c_str());
  bool taken = false;
  if (unnamed) {
    taken = linkat(AT_FDCWD, SelfPath(fd).c_str(), AT_FDCWD, temporaryPath.c_str(), AT_SYMLINK_FOLLOW) == 0;
  } else {
    fd = open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
    taken = fd >= 0;
  }
  if (!taken) {
    const int cause = errno;
    RemoveOnSignal(nullptr);
    temporaryPath.clear();
    return ErrorFrom(cause);
  }
  if (!unnamed) {
    KeepEarlierBits(fd, replacing, mode);
  }
  return {};
}

std::error_code UnfinishedFile::Write(const char* data, std::size_t size) {
#ifdef __linux__
  if (replacing && written == 0) {
    ForgetEarlierOutput(outputPath);
  }
#endif
  written += size;
  const std::error_code error =
      WriteAllThrough(data, size, [this](const char* from, std::size_t count) { return write(fd, from, count); });
  if (error) {
    return error;
  }
#ifdef __linux__
  if (replacing && written - flushed >= WritebackStep) {
    // Only starts the writing; nothing waits for the disk here.
    (void)sync_file_range(fd, static_cast<off_t>(flushed), static_cast<off_t>(written - flushed),
                          SYNC_FILE_RANGE_WRITE);
    flushed = written;
  }
#endif
  return {};
}

void UnfinishedFile::Reserve(std::uint64_t size) noexcept {
#ifdef __linux__
  // Ext4 then skips its reservation of each page as it is written: a tenth
  // of a 300 MB conversion's processor time. A file system without it
  // writes as before.
  if (fd >= 0 && size > 0) {
    (void)fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
  }
#else
  (void)size;
#endif
}

std::error_code UnfinishedFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
  const std::uint64_t before = writtenAt.fetch_add(size);
#ifdef __linux__
  if (replacing && before == 0) {
    ForgetEarlierOutput(outputPath);
  }
#endif
  const std::error_code error = WriteAllThrough(data, size, [&](const char* from, std::size_t count) {
    return pwrite(fd, from, count, static_cast<off_t>(offset + static_cast<std::uint64_t>(from - data)));
  });
  if (error) {
    return error;
  }
#ifdef __linux__
  if (replacing && before / WritebackStep != (before + size) / WritebackStep) {
    // Writes land all over the file: its whole is handed on, which is cheap
    // for what has been handed on already.
    (void)sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
  }
#endif
  return {};
}

std::error_code UnfinishedFile::Flush() {
  // Some file systems report a failed write only when the file is closed.
  if (unnamed) {
    // The descriptor is still needed to name the file, so a duplicate is
    // closed instead: closing any descriptor of a file makes the same checks.
    const int probe = dup(fd);
    return probe < 0 || close(probe) != 0 ? LastErrno() : std::error_code();
  }
  const int closing = fd;
  fd = -1;
  return close(closing) != 0 ? LastErrno() : std::error_code();
}

std::error_code UnfinishedFile::LinkAsOutput() {
  // An earlier output seen by Create would only make the link fail, as one
  // that has appeared since then does.
  if (replacing) {
    return std::make_error_code(std::errc::file_exists);
  }
  if (linkat(AT_FDCWD, SelfPath(fd).c_str(), AT_FDCWD, outputPath.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    return LastErrno();
  }
  return {};
}

std::error_code UnfinishedFile::RenameOverOutput() {
  if (std::rename(temporaryPath.c_str(), outputPath.c_str()) != 0) {
    return LastErrno();
  }
  RemoveOnSignal(nullptr);
  temporaryPath.clear();
  return {};
}

void UnfinishedFile::Discard() noexcept {
  if (fd >= 0) {
    // Nothing of this file is kept, so what closing reports does not matter.
    (void)close(fd);
    fd = -1;
  }
  if (!temporaryPath.empty()) {
    RemoveOnSignal(nullptr);
    (void)unlink(temporaryPath.c_str());
    temporaryPath.clear();
  }
  unnamed = false;
  written = 0;
  flushed = 0;
}

}  // namespace rungwell
