#pragma once

// How a conversion ended: done, or which side failed and why. It is made
// where the failure happens, so that whoever reports it need not ask the
// input, the output and the rules in turn which of them it was.

#include <system_error>

#include "csv/Layout.h"

namespace rungwell {

struct Outcome {
  enum class Kind {
    Done,
    ReadFailed,      // the input could not be read, or read again
    WriteFailed,     // the output could not be written or finished
    ReaderGone,      // the output is a pipe whose reader has gone, as "| head" goes
    LayoutMismatch,  // the file does not fit the layout given; nothing was written
  };

  Kind kind = Kind::Done;
  std::error_code error;                        // why reading or writing failed
  LayoutProblem problem = LayoutProblem::None;  // why the layout does not fit

  static Outcome ReadFailed(std::error_code cause) { return {Kind::ReadFailed, cause}; }
  static Outcome WriteFailed(std::error_code cause) { return {Kind::WriteFailed, cause}; }
  static Outcome ReaderGone(std::error_code cause) { return {Kind::ReaderGone, cause}; }
  static Outcome LayoutMismatch(LayoutProblem why) { return {Kind::LayoutMismatch, {}, why}; }

  bool Done() const noexcept { return kind == Kind::Done; }
};

}  // namespace rungwell
