#include "io/OutputFile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <utility>

#include "driver/OutputPath.h"
#include "driver/Platform.h"

namespace rungwell {

#ifndef _WIN32
namespace {

// A short fixed-length name, so that a temporary file can be made wherever the
// final name itself fits.
std::string TemporaryName(unsigned attempt) {
  const auto now =
      static_cast<unsigned long long>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
  const unsigned long long mixed =
      now ^ (static_cast<unsigned long long>(CurrentProcessId()) << 20U) ^ (attempt * 0x9E3779B97F4A7C15ULL);
  char name[32];
  (void)std::snprintf(name, sizeof name, ".Rungwell-%012llx.tmp", mixed & 0xFFFFFFFFFFFFULL);
  return name;
}

std::error_code LastError() {
  return {errno != 0 ? errno : EIO, std::generic_category()};
}

}  // namespace
#endif

OutputFile::OutputFile(std::string outputPath) : path(std::move(outputPath)) {}

OutputFile::~OutputFile() {
  Discard();
}

bool OutputFile::Create() {
#ifdef _WIN32
  if (const std::error_code createError = unfinished.Create(path, DefaultPermissions)) {
    return Fail(createError);
  }
  buffer.reset(new char[OutputBufferSize]);
  return true;
#else
  constexpr unsigned Attempts = 100;
  const std::string directory = path.substr(0, FileNameStart(path));
  for (unsigned attempt = 0; attempt < Attempts; ++attempt) {
    std::string candidate = directory + TemporaryName(attempt);
    errno = 0;
    file = CreateNewFile(candidate);
    if (file != nullptr) {
      temporaryPath = std::move(candidate);
      RemoveIfInterrupted(temporaryPath.c_str());
      // Writes are gathered in the buffer below; one in the stream as well
      // would only add a copy. Should this fail, the stream still works.
      (void)std::setvbuf(file, nullptr, _IONBF, 0);
      buffer.reset(new char[OutputBufferSize]);
      return true;
    }
    if (errno != EEXIST) {
      return Fail(LastError());
    }
  }
  return Fail(std::make_error_code(std::errc::file_exists));
#endif
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
  if (buffer == nullptr || !WriteToFile(std::string_view(buffer.get(), buffered))) {
    return false;
  }
  buffered = 0;
  return true;
}

bool OutputFile::WriteToFile(std::string_view bytes) {
#ifdef _WIN32
  if (const std::error_code writeError = unfinished.Write(bytes.data(), bytes.size())) {
    return Fail(writeError);
  }
#else
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    return Fail(LastError());
  }
#endif
  return true;
}

bool OutputFile::Commit() {
  if (!Flush()) {
    return false;
  }
  buffer.reset();
#ifdef _WIN32
  if (const std::error_code publishError = unfinished.Publish()) {
    return Fail(publishError);
  }
#else
  std::FILE* closing = file;
  file = nullptr;
  errno = 0;
  // Some systems report a failed write only when the file is closed.
  if (std::fclose(closing) != 0) {
    return Fail(LastError());
  }
  if (const std::error_code replaceError = MoveIntoPlace(temporaryPath, path)) {
    return Fail(replaceError);
  }
  RemoveIfInterrupted(nullptr);
  temporaryPath.clear();
#endif
  return true;
}

bool OutputFile::Fail(std::error_code cause) {
  if (!error) {
    error = cause;
  }
  Discard();
  return false;
}

void OutputFile::Discard() noexcept {
#ifdef _WIN32
  unfinished.Discard();
#else
  if (file != nullptr) {
    (void)std::fclose(file);
    file = nullptr;
  }
  if (!temporaryPath.empty()) {
    RemoveIfInterrupted(nullptr);
    (void)std::remove(temporaryPath.c_str());
    temporaryPath.clear();
  }
#endif
  buffer.reset();
  buffered = 0;
}

}  // namespace rungwell
