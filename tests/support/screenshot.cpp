#include "support/screenshot.h"

#include <zlib.h>

#include <vector>

#include "common/handles.h"
#include "support/files.h"
#include "support/window_driver.h"

namespace {

constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kBitDepth = 8;
constexpr uint8_t kColourTypeRgb = 2;
constexpr uint8_t kFilterNone = 0;

void AppendBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void AppendChunk(std::string& out, const char* type, const std::string& data) {
  AppendBigEndian(out, static_cast<uint32_t>(data.size()));
  const std::string typed = std::string(type, 4) + data;
  out += typed;
  AppendBigEndian(out, crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                             static_cast<uInt>(typed.size())));
}

}  // namespace

std::string EncodePng(const uint8_t* bgrx, int width, int height) {
  std::string rows;
  rows.reserve(static_cast<size_t>(height) * (static_cast<size_t>(width) * 3 + 1));
  for (int y = 0; y < height; ++y) {
    rows += static_cast<char>(kFilterNone);
    const uint8_t* pixel = bgrx + static_cast<size_t>(y) * width * 4;
    for (int x = 0; x < width; ++x, pixel += 4) {
      rows += static_cast<char>(pixel[2]);
      rows += static_cast<char>(pixel[1]);
      rows += static_cast<char>(pixel[0]);
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
  std::string packed(packedSize, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
            reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()),
            Z_BEST_COMPRESSION);
  packed.resize(packedSize);

  std::string header;
  AppendBigEndian(header, static_cast<uint32_t>(width));
  AppendBigEndian(header, static_cast<uint32_t>(height));
  header += static_cast<char>(kBitDepth);
  header += static_cast<char>(kColourTypeRgb);
  header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace

  std::string png(reinterpret_cast<const char*>(kPngSignature), sizeof kPngSignature);
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", packed);
  AppendChunk(png, "IEND", "");
  return png;
}

bool SaveWindowPng(HWND window, const std::wstring& path, HWND alsoShown) {
  RECT frame, other;
  if (!GetWindowRect(window, &frame)) return false;
  if (alsoShown && GetWindowRect(alsoShown, &other)) UnionRect(&frame, &frame, &other);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  if (width <= 0 || height <= 0) return false;

  ScreenDc screen(GetDC(nullptr));
  MemoryDc memory(CreateCompatibleDC(screen.get()));
  GdiObject bitmap(CreateCompatibleBitmap(screen.get(), width, height));
  {
    ScopedSelection selected(memory.get(), bitmap.get());
    if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), frame.left, frame.top, SRCCOPY))
      return false;
  }

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  if (GetDIBits(memory.get(), static_cast<HBITMAP>(bitmap.get()), 0, height, pixels.data(), &info,
                DIB_RGB_COLORS) != height)
    return false;
  WriteBytes(path, EncodePng(pixels.data(), width, height));
  return PathExists(path);
}

std::wstring ScreenshotFolder() {
  const std::wstring bin = TestProgramFolder();
  const std::wstring folder = bin.substr(0, bin.find_last_of(L'\\')) + L"\\screenshots";
  MakeFolders(folder);
  return folder;
}
