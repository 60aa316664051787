// Owning wrappers for the platform's handles: each is released exactly once, on every path.
#pragma once

#include <windows.h>
#include <bcrypt.h>
#include <oleauto.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <utility>

// One policy per handle kind: its type, its "no handle" value and its release call.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }
  Handle release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) {
    if (handle_ != Traits::Invalid()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

// A handle kind whose "no handle" value is null (or 0).
template <typename H, auto Release>
struct NullHandleTraits {
  using Handle = H;
  static Handle Invalid() { return Handle{}; }
  static void Close(Handle h) { Release(h); }
};
// A HANDLE kind whose "no handle" value is INVALID_HANDLE_VALUE.
template <auto Release>
struct InvalidValueHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { Release(h); }
};

inline void ReleaseCryptProvider(HCRYPTPROV provider) { CryptReleaseContext(provider, 0); }
inline void CloseCngAlgorithm(BCRYPT_ALG_HANDLE algorithm) {
  BCryptCloseAlgorithmProvider(algorithm, 0);
}
inline void ReleaseScreenDc(HDC dc) { ReleaseDC(nullptr, dc); }
inline void FreeGlobalString(LPWSTR text) { GlobalFree(text); }
inline void FreeLocal(void* memory) { LocalFree(memory); }

using FileHandle = UniqueHandle<InvalidValueHandleTraits<CloseHandle>>;  // CreateFileW
using FindHandle = UniqueHandle<InvalidValueHandleTraits<FindClose>>;    // FindFirstFileW
using KernelHandle = UniqueHandle<NullHandleTraits<HANDLE, CloseHandle>>;  // threads, events
using WinHttpHandle = UniqueHandle<NullHandleTraits<HINTERNET, WinHttpCloseHandle>>;
using GlobalString = UniqueHandle<NullHandleTraits<LPWSTR, FreeGlobalString>>;  // from WinHTTP
// What the security functions allocate for the caller to LocalFree: descriptors, SID texts.
template <typename T>
using LocalMemory = UniqueHandle<NullHandleTraits<T, FreeLocal>>;
using CryptProvider = UniqueHandle<NullHandleTraits<HCRYPTPROV, ReleaseCryptProvider>>;
using CryptHash = UniqueHandle<NullHandleTraits<HCRYPTHASH, CryptDestroyHash>>;
using CngAlgorithm = UniqueHandle<NullHandleTraits<BCRYPT_ALG_HANDLE, CloseCngAlgorithm>>;
using CngKey = UniqueHandle<NullHandleTraits<BCRYPT_KEY_HANDLE, BCryptDestroyKey>>;
using GdiObject = UniqueHandle<NullHandleTraits<HGDIOBJ, DeleteObject>>;  // bitmaps
using Font = UniqueHandle<NullHandleTraits<HFONT, DeleteObject>>;
using Brush = UniqueHandle<NullHandleTraits<HBRUSH, DeleteObject>>;
using MemoryDc = UniqueHandle<NullHandleTraits<HDC, DeleteDC>>;        // CreateCompatibleDC
using ScreenDc = UniqueHandle<NullHandleTraits<HDC, ReleaseScreenDc>>;  // GetDC(nullptr)

// Selects an object into a device context for one scope, then puts back the one it replaced.
class ScopedSelection {
 public:
  ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelection() { SelectObject(dc_, previous_); }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Holds one reference to a COM object.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  // For out-parameters: drops any current reference first.
  T** put() {
    reset();
    return &ptr_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (ptr_) std::exchange(ptr_, nullptr)->Release();
  }

 private:
  T* ptr_ = nullptr;
};

// A VARIANT cleared with VariantClear on destruction (which frees a BSTR it holds and
// releases an interface it holds).
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* get() { return &value_; }
  VARIANT& operator*() { return value_; }

 private:
  VARIANT value_;
};

// A BSTR freed with SysFreeString.
class Bstr {
 public:
  explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR get() const { return value_; }
  BSTR release() { return std::exchange(value_, nullptr); }

 private:
  BSTR value_;
};

// The calling thread's membership of a single-threaded COM apartment, for one scope.
class ComApartment {
 public:
  ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComApartment() { CoUninitialize(); }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
};
