#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <system_error>

#include "io/OutputTarget.h"

namespace rungwell {

// An output written into as it stands, in binary on every system: standard
// output, a descriptor, or a device or pipe named by a path (what
// FindOutputTarget calls a Device). Nothing of it is ever made, truncated,
// renamed or changed in its mode or owner, and nothing written can be taken
// back: a failure may follow bytes already written. A reader that has gone
// away is EPIPE (where the system has not already ended the program for it,
// by SIGPIPE, as it ends cat).
//
// Write may run on another thread than the rest, one call at a time; Cancel
// may run on any thread.
class StreamOutput {
 public:
  StreamOutput() = default;
  ~StreamOutput();

  StreamOutput(const StreamOutput&) = delete;
  StreamOutput& operator=(const StreamOutput&) = delete;

  // Takes standard output, which is written as it stands and never closed.
  std::error_code OpenStandardOutput();

  // Takes a Device or a Descriptor. Fails at once where the output plainly
  // cannot be written: no permission, no such device, a descriptor that is
  // not open for writing. A FIFO that has no reader yet is opened only when
  // the first bytes are written, or at Finish, so that the run reads its
  // input, and may fail there, before it waits for one.
  std::error_code Open(const OutputTarget& target);

  // Writes all of size bytes, or fails.
  std::error_code Write(const char* data, std::size_t size);

  // Opens a FIFO that nothing was written to, so that its reader sees the
  // end, and closes what was opened, with the checks that closing makes.
  std::error_code Finish();

  // Ends a wait for a FIFO's reader in Write, which then fails: the run has
  // failed elsewhere. Harmless where nothing waits.
  void Cancel() noexcept { cancelled.store(true); }

  // Lets the output go, closing what was opened; harmless when there is none.
  void Discard() noexcept;

 private:
#ifdef _WIN32
  void* handle = nullptr;  // HANDLE
#else
  // Opens the FIFO at pending, waiting for its reader until one comes or
  // Cancel is called.
  std::error_code OpenWhenRead();

  int fd = -1;
  std::string pending;  // a FIFO with no reader yet, to open at the first write
#endif
  bool owned = false;  // opened here, and so closed here
  std::atomic<bool> cancelled{false};
};

}  // namespace rungwell
