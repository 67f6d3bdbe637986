#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

namespace rungwell {

// Bytes the output stream gathers before each write to the file.
inline constexpr std::size_t OutputBufferSize = std::size_t{1} << 16;

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
  bool Write(std::string_view bytes);

  // Closes the temporary file and puts it in place.
  bool Commit();

  const std::string& Path() const noexcept { return path; }
  std::error_code Error() const noexcept { return error; }

 private:
  bool Fail(std::error_code cause);
  void Discard() noexcept;

  std::string path;
  std::string temporaryPath;
  std::FILE* file = nullptr;
  std::error_code error;
};

}  // namespace rungwell
