#include "net/body_writer.h"

#include <algorithm>
#include <cstring>

#include "common/failure.h"
#include "common/sha256.h"
#include "common/wait.h"

namespace {

// For reads and writes at a place of their own: the two threads share the handle, not a position.
OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

}  // namespace

BodyWriter::BodyWriter(HANDLE file, uint64_t kept, Sha256* hash)
    : file_(file),
      hash_(hash),
      written_(kept),
      work_(CreateSemaphoreW(nullptr, 0, 1, nullptr)),
      idle_(CreateSemaphoreW(nullptr, 1, 1, nullptr)),
      more_(CreateSemaphoreW(nullptr, 0, 1, nullptr)),
      thread_(work_ && idle_ ? CreateThread(nullptr, 0, Run, this, 0, nullptr) : nullptr),
      hasher_(hash && more_ ? CreateThread(nullptr, 0, RunHash, this, 0, nullptr) : nullptr) {}

BodyWriter::~BodyWriter() {
  stopping_ = true;
  if (hasher_) {
    ReleaseSemaphore(more_.get(), 1, nullptr);
    WaitDispatching(hasher_.get());
  }
  if (!thread_) return;
  ReleaseSemaphore(work_.get(), 1, nullptr);
  WaitDispatching(thread_.get());
}

void BodyWriter::Write(const char* data, DWORD size) {
  WaitUntilIdle();
  std::memcpy(piece_.get(), data, size);
  size_ = size;
  // Without a thread of its own, it writes here and now.
  if (thread_)
    ReleaseSemaphore(work_.get(), 1, nullptr);
  else
    WritePiece();
}

void BodyWriter::Finish() {
  WaitUntilIdle();
  finished_ = true;
  // Without a thread of its own, the hash reads it all here and now.
  if (hasher_) {
    ReleaseSemaphore(more_.get(), 1, nullptr);
    WaitDispatching(hasher_.get());
  } else if (hash_) {
    HashWritten();
  }
  if (hash_ && hashedBytes_ != written_) Fail(kWriteFailedText);
}

DWORD WINAPI BodyWriter::Run(LPVOID self) {
  auto& writer = *static_cast<BodyWriter*>(self);
  for (;;) {
    WaitForSingleObject(writer.work_.get(), INFINITE);
    if (writer.stopping_) return 0;
    writer.WritePiece();
    ReleaseSemaphore(writer.idle_.get(), 1, nullptr);
  }
}

DWORD WINAPI BodyWriter::RunHash(LPVOID self) {
  auto& writer = *static_cast<BodyWriter*>(self);
  for (;;) {
    // Read before the bytes in place: once finished, nothing more is written.
    const bool last = writer.finished_;
    writer.HashWritten();
    if (last || writer.stopping_) return 0;
    WaitForSingleObject(writer.more_.get(), INFINITE);
  }
}

void BodyWriter::WritePiece() {
  OVERLAPPED at = At(written_);
  DWORD written = 0;
  failed_ = failed_ || !WriteFile(file_, piece_.get(), size_, &written, &at) || written != size_;
  if (failed_) return;
  written_ += size_;
  ReleaseSemaphore(more_.get(), 1, nullptr);
}

void BodyWriter::HashWritten() {
  for (DWORD read = 0; hashedBytes_ < written_ && !stopping_; hashedBytes_ += read) {
    OVERLAPPED at = At(hashedBytes_);
    const auto size = static_cast<DWORD>(std::min<uint64_t>(written_ - hashedBytes_, kWriteBytes));
    if (!ReadFile(file_, hashed_.get(), size, &read, &at) || read == 0) return;
    hash_->Add(hashed_.get(), read);
  }
}

void BodyWriter::WaitUntilIdle() {
  if (thread_) WaitDispatching(idle_.get());
  if (failed_) Fail(kWriteFailedText);
}
