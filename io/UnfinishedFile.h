#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

namespace rungwell {

// Permission bits to give a new output when nothing tells them (Windows, or
// an input whose bits could not be read); the umask still applies.
inline constexpr unsigned DefaultPermissions = 0666;

// The output while it is being written: a file in the output's folder that
// the operating system throws away by itself, however the process ends (a
// crash, kill -9, Ctrl-C, a closed console), unless Publish gives it the
// output's name. Until then an earlier output stays exactly as it was.
//
// Linux makes the file with no name at all (O_TMPFILE) and links it in at the
// end. Where a file system cannot do that, it falls back to a hidden named
// file that the program removes on failure and on the signals that end it.
// Windows makes a named file marked for deletion from the start and clears
// the mark just before renaming it over the output. The hidden names, and
// the order of the steps, are the same on both.
class UnfinishedFile {
 public:
  UnfinishedFile() = default;
  ~UnfinishedFile();

  UnfinishedFile(const UnfinishedFile&) = delete;
  UnfinishedFile& operator=(const UnfinishedFile&) = delete;

  // Starts the file in outputPath's folder. A file that replaces an earlier
  // output takes that output's permission bits; a new one takes permissions
  // (the input's bits), masked by the umask. Nothing is named yet.
  //
  // Fails at once, before anything is written, where the output plainly
  // cannot be replaced: a directory at its path, a folder that takes no new
  // file, and on Windows a read-only output or one that another program
  // holds open without letting it be deleted (as a spreadsheet program
  // does). Publish still has the last word; this only spares the work.
  std::error_code Create(const std::string& outputPath, unsigned permissions);

  // Writes all of size bytes, or fails. On Linux, a file that replaces an
  // earlier output hands what it has written on to the disk as it goes, so
  // that little is left to flush when it takes the output's place.
  std::error_code Write(const char* data, std::size_t size);

  // Writes all of size bytes at offset, wherever other writes stand, or
  // fails; threads may write apart at once. Not to be mixed with Write.
  std::error_code WriteAt(std::uint64_t offset, const char* data, std::size_t size);

  // Sets disk space aside for the file's first size bytes where the system
  // can, without changing its size, so that writing them does not take it a
  // page at a time; only a hint, since the writes say whether the space is
  // there. Never more than the file will hold: space set aside past its end
  // would stay taken.
  void Reserve(std::uint64_t size) noexcept;

  // Finishes the file, with every check that closing it makes, and gives it
  // the output's name, replacing what was there in one step. Every check
  // comes before that step, so a failure leaves the earlier output as it was
  // and, the file being thrown away, nothing else behind.
  std::error_code Publish();

  // Throws the file away; harmless when there is none.
  void Discard() noexcept;

  // For tests alone: when set, Publish calls it right after checking that
  // the file's data reached the system (closing it on Linux, flushing it on
  // Windows) and takes an error it returns as that check's own, so that the
  // failures of network shares and quotas can be had at will.
  inline static std::error_code (*finishFaultForTests)() = nullptr;

 private:
  // The result of that check, with the tests' fault.
  static std::error_code Finished(std::error_code check) {
    return check || finishFaultForTests == nullptr ? check : finishFaultForTests();
  }

  // Gives the file a hidden name in the output's folder, passing over the
  // names that something else has taken.
  std::error_code TakeHiddenName();

  // What each system does in its own calls, in UnfinishedFilePosix.cpp and
  // UnfinishedFileWindows.cpp. UnfinishedFile.cpp takes these steps in one
  // order for both, and chooses the hidden names.

  // Checks that the output at path could be replaced, and keeps what
  // the later steps need to know of it.
  std::error_code Prepare(const std::string& path, unsigned permissions);
  // Starts the file without any name, where the system can keep one so;
  // sets unnamed when it did.
  std::error_code OpenUnnamed();
  // Puts the file under name in the output's folder: makes it there, or
  // links an unnamed one there. Fails with errc::file_exists when something
  // else has the name.
  std::error_code TakeName(const std::string& name);
  // Hands everything written to the system, and has it checked.
  std::error_code Flush();
  // Gives an unnamed file the output's name in one step, which needs no
  // hidden name. Fails with errc::file_exists where something stands there.
  std::error_code LinkAsOutput();
  // Gives the file under its hidden name the output's name, replacing what
  // stands there.
  std::error_code RenameOverOutput();
  // Goes into every hidden name, so that two runs rarely try the same one.
  static unsigned long ProcessNumber() noexcept;

  bool unnamed = false;  // made without a name (O_TMPFILE), to be linked in at the end
#ifdef _WIN32
  void* handle = nullptr;      // HANDLE of the file, marked for deletion until Publish
  bool marked = false;         // the system removes the file as the handle closes
  std::wstring folder;         // the output's folder, as a full path
  std::wstring finalPath;      // the output's full path as the system takes it
  std::wstring temporaryPath;  // to remove by name should marking it again fail
#else
  std::string outputPath;
  std::string directory;  // the output's, with its slash; empty for the current one
  bool replacing = false;
  unsigned mode = 0;  // permission bits the file is made with
  int fd = -1;
  std::string temporaryPath;                // named fallback, or the name between link and rename
  std::uint64_t written = 0;                // bytes written so far
  std::uint64_t flushed = 0;                // bytes handed on to the disk
  std::atomic<std::uint64_t> writtenAt{0};  // bytes written at offsets so far
#endif
};

}  // namespace rungwell
