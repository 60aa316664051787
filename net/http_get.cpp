#include "net/http_get.h"

#include <stdexcept>

std::string HttpGet(const std::wstring&, const std::wstring&, const std::wstring&, HWND) {
  throw std::runtime_error("网络请求失败");
}
