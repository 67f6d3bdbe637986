#include "tests/TestFiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace rungwell::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / ("rungwell-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      path = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

std::string TempDir::File(std::string_view name) const {
  return (fs::path(path) / name).string();
}

std::vector<std::string> TempDir::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + path);
  }
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) {
    throw std::runtime_error("cannot write " + path);
  }
}

namespace {

// Bytes as C would write them in a string literal, so that line ends, NUL
// and the bytes of other encodings show.
std::string Escaped(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\\' || byte == '"') {
      text += '\\';
      text += c;
    } else if (byte >= 0x20 && byte < 0x7F) {
      text += c;
    } else {
      char escape[8];
      (void)std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      text += escape;
    }
  }
  return text;
}

}  // namespace

::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
  const auto differ = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  if (differ.first == actual.end() && differ.second == expected.end()) {
    return ::testing::AssertionSuccess();
  }
  constexpr std::size_t Context = 16;
  const auto at = static_cast<std::size_t>(differ.first - actual.begin());
  const std::size_t from = at - std::min(at, Context);
  return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << " were expected, the first different at offset " << at << ": \""
                                       << Escaped(actual.substr(from, at - from + Context)) << "\" where \""
                                       << Escaped(expected.substr(from, at - from + Context)) << "\" was expected";
}

}  // namespace rungwell::testing
