#include "net/body_writer.h"

#include <cstring>

#include "common/failure.h"
#include "common/sha256.h"
#include "common/wait.h"

BodyWriter::BodyWriter(HANDLE file, Sha256* hash)
    : file_(file),
      hash_(hash),
      work_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      idle_(CreateEventW(nullptr, FALSE, TRUE, nullptr)),
      thread_(work_ && idle_ ? CreateThread(nullptr, 0, Run, this, 0, nullptr) : nullptr) {}

BodyWriter::~BodyWriter() {
  if (!thread_) return;
  stopping_ = true;
  SetEvent(work_.get());
  WaitDispatching(thread_.get());
}

void BodyWriter::Write(const char* data, DWORD size) {
  WaitUntilIdle();
  std::memcpy(piece_.get(), data, size);
  size_ = size;
  // Without a thread of its own, it writes here and now.
  if (thread_)
    SetEvent(work_.get());
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
    SetEvent(writer.idle_.get());
  }
}

void BodyWriter::WritePiece() {
  DWORD written = 0;
  failed_ = failed_ || !WriteFile(file_, piece_.get(), size_, &written, nullptr) || written != size_;
  if (hash_ && !failed_) hash_->Add(piece_.get(), size_);
}

void BodyWriter::WaitUntilIdle() {
  if (thread_) WaitDispatching(idle_.get());
  if (failed_) Fail(kWriteFailedText);
}
