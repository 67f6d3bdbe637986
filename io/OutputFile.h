#pragma once

#include <cstddef>
#include <cstdio>
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
inline constexpr std::size_t OutputBufferSize = std::size_t{1} << 18;
#endif

// A file that appears whole or not at all. The bytes go to a temporary file
// beside the final path; only when every write and the close have succeeded
// does Commit rename it over that path. Otherwise the temporary file is
// removed, and whatever stood at the path before stays as it was.
class OutputFile {
 public:
  explicit OutputFile(std::string path);
  ~OutputFile();

  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the temporary file. False on failure, with Error() set.
  bool Create();

  // False once anything has failed; later calls then do nothing.
  bool Write(std::string_view bytes) {
    // Most lines fit into what is left of the buffer; only the rest takes
    // the slow path.
    if (bytes.size() <= OutputBufferSize - buffered && buffer != nullptr) {
      std::memcpy(buffer.get() + buffered, bytes.data(), bytes.size());
      buffered += bytes.size();
      return true;
    }
    return WriteSlow(bytes);
  }

  // Closes the temporary file and puts it in place.
  bool Commit();

  const std::string& Path() const noexcept { return path; }
  std::error_code Error() const noexcept { return error; }

 private:
  bool WriteSlow(std::string_view bytes);
  // Writes out what the buffer holds.
  bool Flush();
  bool WriteToFile(std::string_view bytes);
  bool Fail(std::error_code cause);
  void Discard() noexcept;

  std::string path;
#ifdef _WIN32
  UnfinishedFile unfinished;
#else
  std::string temporaryPath;
  std::FILE* file = nullptr;
#endif
  std::unique_ptr<char[]> buffer;
  std::size_t buffered = 0;  // bytes in buffer not yet written
  std::error_code error;
};

}  // namespace rungwell
