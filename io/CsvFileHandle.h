#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace rungwell {

// Size of the read buffer, and so of the block that each read from the input
// file fills. Lines are not limited by it: the buffer grows to hold a longer
// line whole.
#ifdef RUNGWELL_TINY_BUFFERS
// A few dozen bytes, so that tests and fuzzing meet buffer edges at every turn.
inline constexpr std::size_t LineBufferSize = 61;
#else
inline constexpr std::size_t LineBufferSize = std::size_t{1} << 18;
#endif

// Owns one input file and hands it out a line at a time. The file is read in
// binary mode and every byte comes back as it was, NUL and Ctrl-Z included;
// each line keeps its own terminator, or its lack of one at the end of the file.
class CsvFileHandle {
 public:
  CsvFileHandle() = default;
  virtual ~CsvFileHandle();

  CsvFileHandle(const CsvFileHandle&) = delete;
  CsvFileHandle& operator=(const CsvFileHandle&) = delete;

  // Closes whatever was open, then opens the file at path. On failure the
  // handle stays closed and Error() says why.
  bool Open(const std::string& path);

  // The next line, or an empty string at the end of the input and after a read
  // error; no line is ever empty, since it holds at least its terminator.
  std::string ReadLine();

  // Like ReadLine(), but fills the caller's string so that its storage is
  // reused from line to line. False at the end of the input or on error.
  bool ReadLine(std::string& line);

  // The next line as a view into the handle's own buffer, so that nothing is
  // copied; it stays valid until the next read or Close. False at the end of
  // the input or on error.
  bool ReadLine(std::string_view& line);

  // The open file's permission bits, for a copy of it to take over; the
  // usual 0666 where the system has none to tell.
  unsigned PermissionBits() const noexcept { return permissionBits; }

  // Releases the file and the buffer; harmless on a closed handle.
  void Close() noexcept;

  // Why the last Open or read failed; empty while nothing has.
  std::error_code Error() const noexcept { return error; }

 private:
  bool Fail(int errorNumber);
  bool Refill(std::size_t& searched);

  std::FILE* file = nullptr;
  std::unique_ptr<char[]> buffer;
  std::size_t capacity = 0;  // size of buffer
  std::size_t unread = 0;    // offset of the first byte not yet handed out
  std::size_t filled = 0;    // offset one past the last byte read into buffer
  bool atEnd = false;        // the file has nothing more to read
  unsigned permissionBits = 0666;
  std::error_code error;
};

}  // namespace rungwell
