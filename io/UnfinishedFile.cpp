#include "io/UnfinishedFile.h"

#include <atomic>
#include <chrono>

namespace rungwell {

namespace {

// A hidden name: .Rungwell-<process><number>.tmp, with six hex digits each.
// Its length is fixed and short, so that it fits wherever the output's own
// name fits; the dot hides it from Unix tools, and Windows hides it by its
// attribute too. A process numbers its names from a start taken from the
// clock, so that two runs rarely try the same one.
std::string HiddenName(unsigned long process) {
  static std::atomic<unsigned long> next{
      static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count())};
  constexpr unsigned long SixDigits = 0xFFFFFFUL;
  const unsigned long long digits =
      (static_cast<unsigned long long>(process & SixDigits) << 24U) | (next.fetch_add(1) & SixDigits);
  std::string name = ".Rungwell-000000000000.tmp";
  constexpr std::size_t DigitsEnd = 22;
  for (std::size_t i = 0; i < 12; ++i) {
    name[DigitsEnd - 1 - i] = "0123456789abcdef"[(digits >> (4 * i)) & 0xFU];
  }
  return name;
}

}  // namespace

UnfinishedFile::~UnfinishedFile() {
  Discard();
}

std::error_code UnfinishedFile::Create(const std::string& path, unsigned permissions) {
  Discard();
  std::error_code error = Prepare(path, permissions);
  if (!error) {
    error = OpenUnnamed();
  }
  if (!error && !unnamed) {
    error = TakeHiddenName();
  }
  return error;
}

std::error_code UnfinishedFile::TakeHiddenName() {
  // A name already taken just moves on to the next; so many taken in a row
  // mean something other than chance is at work.
  constexpr int Attempts = 100;
  for (int attempt = 0; attempt < Attempts; ++attempt) {
    const std::error_code error = TakeName(HiddenName(ProcessNumber()));
    if (error != std::errc::file_exists) {
      return error;
    }
  }
  return std::make_error_code(std::errc::file_exists);
}

std::error_code UnfinishedFile::Publish() {
  // Every check comes before the output's name is given, so that no failure
  // is ever reported for an output that has already replaced the earlier one.
  std::error_code error = Finished(Flush());
  bool linked = false;
  if (!error && unnamed) {
    // With no earlier output the file can take the final name at once.
    // Should one be there, even one that appeared since Create, the file is
    // named and renamed over it like any other.
    error = LinkAsOutput();
    linked = !error;
    if (error == std::errc::file_exists) {
      error = TakeHiddenName();
    }
  }
  if (!error && !linked) {
    error = RenameOverOutput();
  }
  Discard();
  return error;
}

}  // namespace rungwell
