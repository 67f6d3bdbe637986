#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "io/BlockMemory.h"
#include "io/BufferSizes.h"
#include "io/InputFile.h"

namespace rungwell {

// Owns one input file and hands it out a block at a time, in order, and
// reads it again at an offset where the file allows. The file is read in
// binary mode and every byte comes back as it was, NUL and Ctrl-Z included.
// A regular file longer than one block is read a block ahead on a thread of
// its own, so that reading and scanning overlap; a pipe or terminal is read
// only when asked, since a read there may wait for ever.
class CsvFileHandle {
 public:
  CsvFileHandle();
  ~CsvFileHandle();

  CsvFileHandle(const CsvFileHandle&) = delete;
  CsvFileHandle& operator=(const CsvFileHandle&) = delete;

  // Closes whatever was open, then opens the file at path. On failure the
  // handle stays closed and Error() says why.
  bool Open(const std::string& path);

  // As Open, for standard input; it can be read again where it is
  // redirected from a file.
  bool OpenStandardInput();

  // Whether path names the open file itself, by whatever name.
  bool IsSameFileAs(const std::string& path) const { return file.IsSameFileAs(path); }

  // Whether standard output is the open file itself.
  bool IsStandardOutput() const { return file.IsStandardOutput(); }

  // The next block of the file: ReadBlockSize bytes, fewer only where the
  // file ends. False at the end of the file and after a read error.
  // BufferSlack bytes past those given may be read (they hold anything).
  // The bytes stay valid until the next ReadBlock or Close.
  bool ReadBlock(std::string_view& bytes);

  // Where in the file the bytes that the last ReadBlock gave start.
  std::uint64_t Offset() const noexcept { return offset; }

  // Whether the file can be read again at an offset: a regular file can, a
  // pipe cannot.
  bool CanReadAgain() const noexcept { return file.IsRegular(); }

  // Reads count bytes at offset at, or up to the end of the file, apart
  // from the blocks. False after a read error, with Error() set, and when
  // bytes that were given before cannot be read again.
  bool ReadAt(std::uint64_t at, char* into, std::size_t count, std::size_t& got);

  // How many bytes a regular file holds, as it stands.
  std::error_code Size(std::uint64_t& bytes) const { return file.Size(bytes); }

  // Reads all of count bytes at offset at, apart from the blocks and from
  // Error(), so that threads may read apart at once: a regular file's
  // bytes, which fewer than count, where the file was cut short, fail.
  std::error_code ReadExactlyAt(std::uint64_t at, char* into, std::size_t count) const;

  // The file's permission bits, for an output that should have the same;
  // none for standard input that is no regular file, where the system keeps
  // no such bits (Windows), or while closed.
  std::optional<unsigned> PermissionBits() const noexcept { return file.PermissionBits(); }

  // Releases the file and the buffers; harmless on a closed handle.
  void Close() noexcept;

  // Why the last Open or read failed; empty while nothing has.
  std::error_code Error() const noexcept { return error; }

 private:
  class ReadAhead;

  bool Fail(std::error_code cause);
  bool TakeBuffer();

  InputFile file;
  std::unique_ptr<ReadAhead> readAhead;
  BlockMemory buffer;        // the block given last
  std::size_t size = 0;      // of that block
  std::uint64_t offset = 0;  // where in the file it starts
  bool atEnd = false;        // the file has nothing more to read
  std::error_code error;
};

}  // namespace rungwell
