#include "net/package_download.h"

#include <stdexcept>

std::wstring DownloadPackage(const DownloaderSettings&, const std::wstring&) {
  throw std::runtime_error("后台未配置霁岚舟安装包下载链接");
}
std::wstring PercentEncodeUtf8(const std::wstring&) { return {}; }
std::wstring MakeUniquePath(const std::wstring& path) { return path; }
