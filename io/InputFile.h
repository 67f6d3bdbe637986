#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

namespace rungwell {

// The input as the operating system hands it out: a file opened for reading
// in binary, read in order. A regular file can also be read again at any
// offset, which does not disturb the reading in order, whichever thread
// does which.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();

  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens the file at path; refuses a directory, which some systems open as
  // a file that fails only at the first read.
  std::error_code Open(const std::string& path);

  // Takes standard input as the file, read from where it stands. It is
  // regular when it is redirected from a file.
  std::error_code OpenStandardInput();

  // Whether path names this very file (through another name or a link too,
  // /dev/stdout and /dev/fd/N included), where writing it would change what
  // is read or feed the run its own output: a plain file, and on Linux a
  // block device or a pipe. A terminal or a device such as /dev/null can be
  // read and written at once. False where path names nothing.
  bool IsSameFileAs(const std::string& path) const;

  // Whether standard output is this very file in that sense, as
  // "Rungwell - < plan.csv >> plan.csv" makes it.
  bool IsStandardOutput() const;

  // Reads up to count bytes at the current position and moves past them.
  // got is 0 at the end of the input, and after a failure.
  std::error_code Read(char* into, std::size_t count, std::size_t& got);

  // Reads up to count bytes at offset of a regular file, wherever the next
  // Read starts; got is 0 past the end.
  std::error_code ReadAt(std::uint64_t offset, char* into, std::size_t count, std::size_t& got) const;

  // How many bytes a regular file holds from where it starts, as it stands.
  std::error_code Size(std::uint64_t& size) const;

  // A regular file (not a pipe, a terminal or a device): one that can be read
  // again at an offset, and whose reads never wait for a writer.
  bool IsRegular() const noexcept { return regular; }

  // The file's permission bits; none for standard input that is no regular
  // file, where the system keeps no such bits (Windows), or while closed.
  std::optional<unsigned> PermissionBits() const noexcept { return permissions; }

  // Harmless on a closed file. Nothing was written, so closing cannot lose data.
  void Close() noexcept;

 private:
  // Learns what the open file is; closes it and says why where it cannot be read.
  std::error_code Examine();

#ifdef _WIN32
  void* handle = nullptr;  // HANDLE
  // Of the next read in order, from start: a read at an offset moves the
  // handle's own position, so reads in order name theirs.
  std::uint64_t position = 0;
#else
  int descriptor = -1;
#endif
  bool regular = false;
  std::uint64_t start = 0;  // where in a regular file its offset 0 is: standard input may start further on
  std::optional<unsigned> permissions;
};

}  // namespace rungwell
