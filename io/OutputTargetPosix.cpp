#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

#include "io/Errno.h"
#include "io/OutputTarget.h"

namespace rungwell {

namespace {

// The descriptor that path names, if it is one of the names the system and
// the shells give a descriptor (>(...) hands /dev/fd/N on): /dev/stdout,
// /dev/stderr, /dev/fd/N or /proc/self/fd/N, spelled just so.
bool DescriptorNamed(std::string_view path, int& descriptor) {
  if (path == "/dev/stdout" || path == "/dev/stderr") {
    descriptor = path == "/dev/stdout" ? 1 : 2;
    return true;
  }
  for (const std::string_view folder : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/")}) {
    if (path.substr(0, folder.size()) != folder) {
      continue;
    }
    const std::string_view digits = path.substr(folder.size());
    // Nine digits stay inside an int; no descriptor is that large.
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
    descriptor = 0;
    for (const char digit : digits) {
      descriptor = descriptor * 10 + (digit - '0');
    }
    return true;
  }
  return false;
}

// The folder part of path, with its slash; empty for the current folder.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// What the link at path holds, or why it could not be read.
std::error_code ReadLink(const std::string& path, std::size_t sizeHint, std::string& target) {
  // The size that lstat gives may be 0 (as in /proc) or stale: the buffer
  // grows until the text fits with room to spare.
  for (std::size_t size = sizeHint + 1 < 256 ? 256 : sizeHint + 1;; size *= 2) {
    target.resize(size);
    const ssize_t got = readlink(path.c_str(), target.data(), size);
    if (got < 0) {
      return LastErrno();
    }
    if (static_cast<std::size_t>(got) < size) {
      target.resize(static_cast<std::size_t>(got));
      return {};
    }
  }
}

// As many links in a row as Linux follows in one path before ELOOP.
constexpr int MostLinks = 40;

}  // namespace

std::error_code FindOutputTarget(const std::string& path, OutputTarget& target) {
  target = OutputTarget{};
  std::string current = path;
  for (int links = 0;; ++links) {
    if (DescriptorNamed(current, target.descriptor)) {
      target.kind = OutputTarget::Kind::Descriptor;
      return {};
    }
    // Followed to its end by the system, a link to a device or a pipe is that
    // device or pipe, and opening the link's name opens it (a /proc link to a
    // pipe too, which no name in a folder names).
    struct stat named {};
    if (stat(current.c_str(), &named) == 0 && !S_ISREG(named.st_mode) && !S_ISDIR(named.st_mode)) {
      target.kind = OutputTarget::Kind::Device;
      target.path = current;
      return {};
    }
    // Else a link is followed one step at a time, so that a link to nothing
    // still gives the name of the file to make, and the unfinished file is
    // made in the folder of the file it replaces, where a rename can reach.
    struct stat itself {};
    if (lstat(current.c_str(), &itself) != 0) {
      // A name too long, or a folder that cannot be searched, would fail only
      // at the very end; better before the whole input has been converted.
      if (errno != ENOENT) {
        return LastErrno();
      }
      break;
    }
    if (!S_ISLNK(itself.st_mode)) {
      break;
    }
    if (links == MostLinks) {
      return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    }
    std::string linked;
    if (const std::error_code error = ReadLink(current, static_cast<std::size_t>(itself.st_size), linked)) {
      return error;
    }
    if (linked.empty() || linked[0] != '/') {
      linked.insert(0, FolderOf(current));
    }
    current = std::move(linked);
  }
  target.kind = OutputTarget::Kind::PlainFile;
  target.path = current;
  return {};
}

}  // namespace rungwell
