#pragma once

#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

#include "csv/ByteSink.h"

namespace rungwell::testing {

// Collects what a conversion writes, through a block as small as the
// smallest read block, so that lines cross its edges. It can be made to
// fail once it holds a given number of bytes, as a full disk does.
class StringSink final : public ByteSink {
 public:
  StringSink() = default;
  explicit StringSink(std::size_t failAfter) : limit(failAfter) {}

  char* Free(std::size_t& room) override {
    if (filled == BlockSize) {
      Flush();
    }
    room = Full() ? 0 : BlockSize - filled;
    return Full() ? nullptr : block + filled;
  }
  void Fill(std::size_t count) noexcept override { filled += count; }
  bool Write(std::string_view bytes) override {
    Flush();
    if (text.size() + bytes.size() > limit) {
      text.append(bytes.substr(0, limit - text.size()));
      return false;
    }
    text.append(bytes);
    return true;
  }
  Outcome Failure() const override { return Outcome::WriteFailed(std::make_error_code(std::errc::no_space_on_device)); }

  std::string Text() {
    Flush();
    return text;
  }

 private:
  static constexpr std::size_t BlockSize = 157;
  bool Full() const { return text.size() + filled >= limit; }
  void Flush() {
    text.append(block, filled);
    filled = 0;
  }
  char block[BlockSize + CopySlack] = {};
  std::size_t filled = 0;
  std::string text;
  std::size_t limit = std::string::npos;
};

}  // namespace rungwell::testing
