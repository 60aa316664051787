// Writing a download's body to its file on a thread of its own while the next piece is received,
// and adding the file to the body's hash on another, reading back what was written: under Wine
// the receiving loop keeps a core busy by itself, and hashing in that loop made the download a
// quarter to a third slower. Read back, the bytes an earlier transfer kept are hashed while the
// rest arrives.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "common/handles.h"

class Sha256;

inline constexpr char kWriteFailedText[] = "无法写入下载文件";
// The largest piece handed over at a time.
inline constexpr DWORD kWriteBytes = 256 << 10;

class BodyWriter {
 public:
  // The file, open for reading and writing, holds `kept` bytes; pieces go after them, and the
  // hash (which may be null) takes the file from its first byte.
  BodyWriter(HANDLE file, uint64_t kept, Sha256* hash);
  ~BodyWriter();  // waits for the piece in hand, if any; the hash stops where it is
  BodyWriter(const BodyWriter&) = delete;
  BodyWriter& operator=(const BodyWriter&) = delete;

  // Hands a copy of the piece (up to kWriteBytes) over once the one before is written; throws the
  // download file's write failure.
  void Write(const char* data, DWORD size);
  // Waits for the last piece and for the hash to reach the file's end; throws the download
  // file's failure.
  void Finish();

 private:
  static DWORD WINAPI Run(LPVOID self);
  static DWORD WINAPI RunHash(LPVOID self);
  void WritePiece();
  void HashWritten();
  void WaitUntilIdle();

  HANDLE file_;
  Sha256* hash_;
  std::unique_ptr<char[]> piece_{new char[kWriteBytes]};
  std::unique_ptr<char[]> hashed_{new char[kWriteBytes]};
  DWORD size_ = 0;
  uint64_t hashedBytes_ = 0;
  std::atomic<uint64_t> written_;  // the file's bytes in place
  // Written before a semaphore is released and read after it is waited for, which orders them.
  bool failed_ = false;
  std::atomic<bool> stopping_{false}, finished_{false};
  // Semaphores of at most one, which act as auto-reset events; the C++ runtime already imports
  // their functions.
  KernelHandle work_, idle_, more_;
  KernelHandle thread_, hasher_;  // last: they start once the rest is ready
};
