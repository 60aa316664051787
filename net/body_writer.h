// Writing a download's body to its file, and adding it to the body's hash, on a thread of its
// own while the next piece is received: under Wine the receiving loop keeps a core busy by
// itself, and hashing in that loop made the download a quarter to a third slower.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "common/handles.h"

class Sha256;

inline constexpr char kWriteFailedText[] = "无法写入下载文件";
// The largest piece handed over at a time.
inline constexpr DWORD kWriteBytes = 256 << 10;

// Reads the file's next `bytes` into the hash: the part of a body that an earlier transfer
// kept, hashed before what arrives now is added. Throws the download file's failure when fewer
// can be read.
void HashKeptBytes(HANDLE file, uint64_t bytes, Sha256& hash);

class BodyWriter {
 public:
  BodyWriter(HANDLE file, Sha256* hash);  // hash may be null
  ~BodyWriter();                          // waits for the piece in hand, if any
  BodyWriter(const BodyWriter&) = delete;
  BodyWriter& operator=(const BodyWriter&) = delete;

  // Hands a copy of the piece (up to kWriteBytes) over once the one before is written; throws the
  // download file's write failure.
  void Write(const char* data, DWORD size);
  // Waits for the last piece; throws the download file's write failure.
  void Finish();

 private:
  static DWORD WINAPI Run(LPVOID self);
  void WritePiece();
  void WaitUntilIdle();

  HANDLE file_;
  Sha256* hash_;
  std::unique_ptr<char[]> piece_{new char[kWriteBytes]};
  DWORD size_ = 0;
  // Written before a semaphore is released and read after it is waited for, which orders them.
  bool failed_ = false;
  bool stopping_ = false;
  // Semaphores of at most one, which act as auto-reset events; the C++ runtime already imports
  // their functions.
  KernelHandle work_, idle_;
  KernelHandle thread_;       // last: it starts once the rest is ready
};
