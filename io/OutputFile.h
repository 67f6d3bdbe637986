#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "io/BufferSizes.h"
#include "io/StreamOutput.h"
#include "io/UnfinishedFile.h"

namespace rungwell {

// A file that appears whole or not at all: only when every write and the
// checks of closing it have succeeded does Commit give it its name, replacing
// what stood at the path before. Until then, and after any failure, nothing
// of it can be seen at the path, and an earlier file there stays as it was.
//
// Bytes are gathered into blocks. Once the first block is full, a writer
// thread takes over the writing, so that the caller fills the next blocks
// while earlier ones go to the file; a small file is written at Commit alone.
//
// That holds for a path that names a plain file, or nothing yet; a symbolic
// link there is followed, and the file it names is the one replaced. Any
// other output (standard output, a device, a pipe, a descriptor named as
// /dev/fd/N) takes the blocks as they fill instead, written into as it
// stands: nothing of it can be taken back, so a failure there may follow
// bytes already written. The path decides which (FindOutputTarget).
class OutputFile {
 public:
  explicit OutputFile(std::string path);
  struct StandardOutputTag {};
  explicit OutputFile(StandardOutputTag);
  ~OutputFile();

  // Whether the bytes go straight into the output as they are written, as
  // they go into standard output or a pipe; known once Create has run.
  bool IsStream() const noexcept { return streamed; }

  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Starts the file. A new file gets permissions (less the umask); one that
  // replaces an earlier file keeps that file's. False on failure, with
  // Error() set. An output written into as it stands is opened (a FIFO
  // with no reader yet only once bytes come), and keeps its own.
  bool Create(unsigned permissions = DefaultPermissions);

  // Writes bytes of any length, moving on to new blocks as they fill. False
  // once anything has failed, here or in the writer; later calls then do
  // nothing. A failed write may be seen only at a later call or at Commit.
  bool Write(std::string_view bytes) {
    // Most lines fit into what is left of the block; only the rest takes
    // the slow path.
    if (bytes.size() <= OutputBufferSize - filled && block != nullptr) {
      std::memcpy(block + filled, bytes.data(), bytes.size());
      filled += bytes.size();
      return true;
    }
    return WriteSlow(bytes);
  }

  // The free part of the block being filled, moving on to an empty block
  // first when it is full: room bytes from the result on, at least one, may
  // be written, and BufferSlack bytes after them may be overwritten with
  // anything. Null, with room 0, once writing has failed.
  char* Free(std::size_t& room) {
    if (filled == OutputBufferSize && block != nullptr) {
      (void)HandOver();
    }
    room = block != nullptr ? OutputBufferSize - filled : 0;
    return block != nullptr ? block + filled : nullptr;
  }

  // Keeps count bytes written at Free() as written.
  void Fill(std::size_t count) noexcept { filled += count; }

  // Whether bytes can go to the file at offsets of their own, from several
  // threads at once (WriteAt): a plain file can, once created, where no
  // bytes went in order.
  bool CanWriteAt() const noexcept { return !streamed && !standardOutput && block != nullptr && filled == 0; }

  // Sets disk space aside for a plain file's first size bytes (see
  // UnfinishedFile::Reserve).
  void Reserve(std::uint64_t size) noexcept {
    if (!streamed && !standardOutput) {
      file.Reserve(size);
    }
  }

  // Writes bytes at offset of a plain file, or says why it could not; the
  // failure is the caller's to report, and the output is not committed then.
  std::error_code WriteAt(std::uint64_t offset, std::string_view bytes) {
    return file.WriteAt(offset, bytes.data(), bytes.size());
  }

  // Writes out what is left and puts the file in place.
  bool Commit();

  std::error_code Error() const noexcept { return error; }

 private:
  class Writer;

  bool WriteSlow(std::string_view bytes);
  // Passes the full block on and takes an empty one.
  bool HandOver();
  bool Fail(std::error_code cause);

  std::string path;
  bool standardOutput = false;
  bool streamed = false;  // written through stream, not file
  UnfinishedFile file;
  StreamOutput stream;
  std::unique_ptr<Writer> writer;
  char* block = nullptr;  // the block being filled; null unless all is sound
  std::size_t filled = 0;
  std::error_code error;
};

}  // namespace rungwell
