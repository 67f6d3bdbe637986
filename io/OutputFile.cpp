#include "io/OutputFile.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "io/BlockMemory.h"
#include "io/BlockQueue.h"
#include "io/OutputTarget.h"

namespace rungwell {

namespace {

// Enough for the writer to have a block in hand and one waiting while the
// caller fills a third, and no more: memory stays a few blocks whatever the size.
constexpr std::size_t BlockCount = 4;

}  // namespace

// The blocks, and the thread that writes the full ones in the order given.
class OutputFile::Writer {
 public:
  // Writes into file, or into stream where file is null.
  Writer(UnfinishedFile* destination, StreamOutput& streamed) : file(destination), stream(streamed) {
    for (auto& storage : blocks) {
      // Left unset: every byte is written before it is read.
      storage = NewBlock(OutputBufferSize + BufferSlack);
      (void)empty.Push(storage.get());
    }
  }

  ~Writer() { Stop(); }

  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  char* TakeEmpty() {
    char* taken = nullptr;
    return empty.Pop(taken) ? taken : nullptr;
  }

  // Queues a full block, starting the thread on the first, and waits for an
  // empty one. Null once writing has failed.
  char* Exchange(char* fullBlock, std::size_t size) {
    if (!thread.joinable()) {
      thread = std::thread([this] { Run(); });
    }
    return full.Push({fullBlock, size}) ? TakeEmpty() : nullptr;
  }

  // Writes the last block, waits for all to be written and ends the thread.
  std::error_code Finish(char* last, std::size_t size) {
    if (!thread.joinable()) {
      return WriteBlock(last, size);
    }
    if (size > 0) {
      (void)full.Push({last, size});
    }
    full.Close();
    thread.join();
    return failure;
  }

  // Ends the thread without waiting for what is queued.
  void Stop() noexcept {
    full.Stop();
    empty.Stop();
    if (thread.joinable()) {
      thread.join();
    }
  }

  // Read only after a Push or Pop has failed, or after Finish: the thread
  // sets it before it stops the queues, whose lock hands it over.
  std::error_code Failure() const { return failure; }

 private:
  std::error_code WriteBlock(const char* data, std::size_t size) {
    return file != nullptr ? file->Write(data, size) : stream.Write(data, size);
  }

  void Run() {
    for (std::pair<char*, std::size_t> queued; full.Pop(queued);) {
      if (const std::error_code result = WriteBlock(queued.first, queued.second)) {
        failure = result;
        full.Stop();
        empty.Stop();
        return;
      }
      (void)empty.Push(queued.first);
    }
  }

  UnfinishedFile* file;
  StreamOutput& stream;
  BlockMemory blocks[BlockCount];
  BlockQueue<char*> empty{BlockCount};                         // blocks free to fill
  BlockQueue<std::pair<char*, std::size_t>> full{BlockCount};  // in file order
  std::error_code failure;                                     // the first failed write
  std::thread thread;
};

OutputFile::OutputFile(std::string outputPath) : path(std::move(outputPath)) {}

OutputFile::OutputFile(StandardOutputTag /*tag*/) : standardOutput(true), streamed(true) {}

OutputFile::~OutputFile() {
  // The writer goes first: it may be using the file, or waiting for a
  // FIFO's reader, which no one is left to be.
  stream.Cancel();
  writer.reset();
}

bool OutputFile::Create(unsigned permissions) {
  std::error_code cause;
  if (standardOutput) {
    cause = stream.OpenStandardOutput();
  } else {
    OutputTarget target;
    cause = FindOutputTarget(path, target);
    streamed = !cause && target.kind != OutputTarget::Kind::PlainFile;
    if (!cause) {
      cause = streamed ? stream.Open(target) : file.Create(target.path, permissions);
    }
  }
  if (cause) {
    return Fail(cause);
  }
  writer = std::make_unique<Writer>(streamed ? nullptr : &file, stream);
  block = writer->TakeEmpty();
  filled = 0;
  return true;
}

bool OutputFile::WriteSlow(std::string_view bytes) {
  if (block == nullptr) {
    return false;
  }
  // Bytes longer than what is left are cut at block edges, so that every
  // block but the last goes to the file full.
  while (bytes.size() > OutputBufferSize - filled) {
    const std::size_t part = OutputBufferSize - filled;
    std::memcpy(block + filled, bytes.data(), part);
    filled = OutputBufferSize;
    bytes.remove_prefix(part);
    if (!HandOver()) {
      return false;
    }
  }
  std::memcpy(block + filled, bytes.data(), bytes.size());
  filled += bytes.size();
  return true;
}

bool OutputFile::HandOver() {
  block = writer->Exchange(block, filled);
  filled = 0;
  if (block == nullptr) {
    return Fail(writer->Failure());
  }
  return true;
}

bool OutputFile::Commit() {
  if (block == nullptr) {
    return false;
  }
  char* last = block;
  block = nullptr;
  if (const std::error_code cause = writer->Finish(last, filled)) {
    return Fail(cause);
  }
  writer.reset();
  if (const std::error_code cause = streamed ? stream.Finish() : file.Publish()) {
    return Fail(cause);
  }
  return true;
}

bool OutputFile::Fail(std::error_code cause) {
  if (!error) {
    error = cause;
  }
  stream.Cancel();
  writer.reset();
  file.Discard();
  stream.Discard();
  block = nullptr;
  filled = 0;
  return false;
}

}  // namespace rungwell
