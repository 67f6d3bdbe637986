#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "io/UnfinishedFile.h"

namespace rungwell {

// Bytes gathered before each write to the file.
#ifdef RUNGWELL_TINY_BUFFERS
inline constexpr std::size_t OutputBufferSize = 53;
#else
inline constexpr std::size_t OutputBufferSize = std::size_t{1} << 20;
#endif

// A file that appears whole or not at all: only when every write and the
// checks of closing it have succeeded does Commit give it its name, replacing
// what stood at the path before. Until then, and after any failure, nothing
// of it can be seen at the path, and an earlier file there stays as it was.
class OutputFile {
 public:
  explicit OutputFile(std::string path);

  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Starts the file. A new file gets permissions (less the umask); one that
  // replaces an earlier file keeps that file's. False on failure, with
  // Error() set.
  bool Create(unsigned permissions = DefaultPermissions);

  // False once anything has failed; later calls then do nothing.
  bool Write(std::string_view bytes) {
    // Most lines fit into what is left of the buffer; only the rest takes
    // the slow path.
    if (bytes.size() <= OutputBufferSize - buffered && buffer) {
      std::memcpy(buffer.get() + buffered, bytes.data(), bytes.size());
      buffered += bytes.size();
      return true;
    }
    return WriteSlow(bytes);
  }

  // Writes out what is left and puts the file in place.
  bool Commit();

  const std::string& Path() const noexcept { return path; }
  std::error_code Error() const noexcept { return error; }

 private:
  bool WriteSlow(std::string_view bytes);
  // Writes out what the buffer holds.
  bool Flush();
  bool WriteToFile(std::string_view bytes);
  bool Fail(std::error_code cause);

  std::string path;
  UnfinishedFile file;
  std::unique_ptr<char[]> buffer;  // null unless the file is open and sound
  std::size_t buffered = 0;        // bytes in buffer not yet written
  std::error_code error;
};

}  // namespace rungwell
