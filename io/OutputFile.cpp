#include "io/OutputFile.h"

#include <utility>

namespace rungwell {

OutputFile::OutputFile(std::string outputPath) : path(std::move(outputPath)) {}

bool OutputFile::Create(unsigned permissions) {
  if (const std::error_code cause = file.Create(path, permissions)) {
    return Fail(cause);
  }
  buffer.reset(new char[OutputBufferSize]);
  return true;
}

bool OutputFile::WriteSlow(std::string_view bytes) {
  if (!Flush()) {
    return false;
  }
  if (bytes.size() >= OutputBufferSize) {
    return WriteToFile(bytes);
  }
  std::memcpy(buffer.get(), bytes.data(), bytes.size());
  buffered = bytes.size();
  return true;
}

bool OutputFile::Flush() {
  if (!buffer || !WriteToFile(std::string_view(buffer.get(), buffered))) {
    return false;
  }
  buffered = 0;
  return true;
}

bool OutputFile::WriteToFile(std::string_view bytes) {
  if (const std::error_code cause = file.Write(bytes.data(), bytes.size())) {
    return Fail(cause);
  }
  return true;
}

bool OutputFile::Commit() {
  if (!Flush()) {
    return false;
  }
  buffer.reset();
  if (const std::error_code cause = file.Publish()) {
    return Fail(cause);
  }
  return true;
}

bool OutputFile::Fail(std::error_code cause) {
  if (!error) {
    error = cause;
  }
  file.Discard();
  buffer.reset();
  buffered = 0;
  return false;
}

}  // namespace rungwell
