#include "net/body_writer.h"

#include <algorithm>
#include <cstring>

#include "common/failure.h"
#include "common/sha256.h"
#include "common/wait.h"

BodyWriter::BodyWriter(HANDLE file, Sha256* hash)
    : file_(file),
      hash_(hash),
      work_(CreateSemaphoreW(nullptr, 0, 1, nullptr)),
      idle_(CreateSemaphoreW(nullptr, 1, 1, nullptr)),
      thread_(work_ && idle_ ? CreateThread(nullptr, 0, Run, this, 0, nullptr) : nullptr) {}

BodyWriter::~BodyWriter() {
  if (!thread_) return;
  stopping_ = true;
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

void BodyWriter::Finish() { WaitUntilIdle(); }

DWORD WINAPI BodyWriter::Run(LPVOID self) {
  auto& writer = *static_cast<BodyWriter*>(self);
  for (;;) {
    WaitForSingleObject(writer.work_.get(), INFINITE);
    if (writer.stopping_) return 0;
    writer.WritePiece();
    ReleaseSemaphore(writer.idle_.get(), 1, nullptr);
  }
}

void BodyWriter::WritePiece() {
  DWORD written = 0;
  failed_ = failed_ || !WriteFile(file_, piece_.get(), size_, &written, nullptr) ||
            written != size_;
  if (hash_ && !failed_) hash_->Add(piece_.get(), size_);
}

void BodyWriter::WaitUntilIdle() {
  if (thread_) WaitDispatching(idle_.get());
  if (failed_) Fail(kWriteFailedText);
}

void HashKeptBytes(HANDLE file, uint64_t bytes, Sha256& hash) {
  const std::unique_ptr<char[]> piece(new char[kWriteBytes]);
  while (bytes > 0) {
    DWORD read = 0;
    if (!ReadFile(file, piece.get(), static_cast<DWORD>(std::min<uint64_t>(bytes, kWriteBytes)),
                  &read, nullptr) ||
        read == 0)
      Fail(kWriteFailedText);
    hash.Add(piece.get(), read);
    bytes -= read;
  }
}
