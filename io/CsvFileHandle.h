#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "io/BufferSizes.h"
#include "io/InputFile.h"

namespace rungwell {

// Owns one input file and hands it out a block at a time, or a line at a
// time. The file is read in binary mode and every byte comes back as it was,
// NUL and Ctrl-Z included. A regular file longer than one block is read a
// block ahead on a thread of its own, so that reading and scanning overlap;
// a pipe or terminal is read only when asked, since a read there may wait
// for ever.
class CsvFileHandle {
 public:
  CsvFileHandle();
  virtual ~CsvFileHandle();

  CsvFileHandle(const CsvFileHandle&) = delete;
  CsvFileHandle& operator=(const CsvFileHandle&) = delete;

  // Closes whatever was open, then opens the file at path. On failure the
  // handle stays closed and Error() says why.
  bool Open(const std::string& path);

  // Reads until the buffer is full or the file ends, and gives every byte
  // not yet consumed: what the earlier calls gave but Consume did not take,
  // then what was just read. When the unconsumed bytes fill the whole
  // buffer, it doubles first, so that a line of any length is given whole in
  // the end. False at the end of
  // the input with nothing left, and after a read error. CopySlack bytes past
  // those given may be read too (they hold anything). The bytes stay valid
  // until the next ReadBlock, ReadLine or Close.
  bool ReadBlock(std::string_view& bytes);

  // Takes the first count bytes of those the last ReadBlock gave.
  void Consume(std::size_t count) noexcept {
    consumed += count;
    offset += count;
  }

  // Where in the file the bytes that ReadBlock gives start.
  std::uint64_t Offset() const noexcept { return offset; }

  // Whether the file can be read again at an offset: a regular file can, a
  // pipe cannot.
  bool CanReadAgain() const noexcept { return file.IsRegular(); }

  // Reads count bytes at offset at, or up to the end of the file, apart
  // from the blocks. False after a read error, with Error() set, and when
  // bytes that were read before cannot be read again.
  bool ReadAt(std::uint64_t at, char* into, std::size_t count, std::size_t& got);

  // True once the file has nothing more to give than the bytes already read.
  bool AtEnd() const noexcept { return atEnd; }

  // The next line with its terminator, or an empty string at the end of the
  // input and after a read error; no line is ever empty, since it holds at
  // least its terminator or, last in the file, a byte before the end.
  std::string ReadLine();

  // The file's permission bits, for an output that should have the same;
  // none where the system keeps no such bits (Windows) or while closed.
  std::optional<unsigned> PermissionBits() const noexcept { return file.PermissionBits(); }

  // Releases the file and the buffer; harmless on a closed handle.
  void Close() noexcept;

  // Why the last Open or read failed; empty while nothing has.
  std::error_code Error() const noexcept { return error; }

 private:
  class ReadAhead;

  bool Fail(std::error_code cause);
  bool Fill();
  bool FillFromReadAhead();

  InputFile file;
  std::unique_ptr<ReadAhead> readAhead;
  std::unique_ptr<char[]> buffer;
  std::size_t capacity = 0;  // size of buffer
  std::size_t consumed = 0;  // offset of the first byte not yet consumed
  std::uint64_t offset = 0;  // where in the file that byte is
  std::size_t filled = 0;    // offset one past the last byte read into buffer
  bool atEnd = false;        // the file has nothing more to read
  std::error_code error;
};

}  // namespace rungwell
