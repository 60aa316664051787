// Windows 7 as Wine plays it: CTest has Wine report version 6.1 to this program
// (TOVARELIN_WINDOWS_VERSION in tests/wine/run.sh). Wine's shell cannot open zips at all, so
// the extraction's choice is shown by the function that makes it, on the real version. Wine's
// WinHTTP takes the automatic proxy type on any version: its refusal is played by a seam.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

#include "common/code_pages.h"
#include "common/windows_version.h"
#include "install/extract_internal.h"
#include "net/http_get_internal.h"
#include "support/files.h"
#include "support/install_scenario.h"
#include "support/zip_builder.h"

namespace {

constexpr wchar_t kKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr wchar_t kValue[] = L"DefaultConnectionSettings";
constexpr DWORD kDirect = 1, kFixedProxy = 2, kScript = 4;  // the value's flags

// The current user's Internet Options proxy, in the value that
// WinHttpGetIEProxyConfigForCurrentUser reads (Wine's too), as it was once the test ends.
class InternetOptions {
 public:
  InternetOptions() {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ, nullptr, &key, &created_);
    RegCloseKey(key);
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_ANY, nullptr, nullptr, &size) == 0) {
      saved_.emplace(size, '\0');
      RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_ANY, nullptr, saved_->data(), &size);
    }
  }
  ~InternetOptions() {
    if (saved_) Write(*saved_);
    else RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, kValue);
    if (created_ == REG_CREATED_NEW_KEY) RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
  }
  // A version, a counter, the flags, then each text as its length and its bytes.
  void Set(DWORD flags, const std::string& proxy, const std::string& bypass = "",
           const std::string& script = "") {
    std::string value;
    const auto add = [&](DWORD number) { value.append(reinterpret_cast<char*>(&number), 4); };
    for (const DWORD number : {DWORD{0x46}, DWORD{1}, flags}) add(number);
    for (const std::string& text : {proxy, bypass, script})
      add(static_cast<DWORD>(text.size())), value += text;
    Write(value + std::string(32, '\0'));
  }

 private:
  void Write(const std::string& value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_BINARY, value.data(),
                    static_cast<DWORD>(value.size()));
  }

  DWORD created_ = 0;
  std::optional<std::string> saved_;
};

}  // namespace

TEST(Windows7, ZipNamesMarkedUtf8GoToOurReaderOtherPackagesToTheShell) {
  const WindowsVersion version = RunningWindowsVersion();
  ASSERT_EQ(6u, version.major);
  ASSERT_EQ(1u, version.minor);
  // As 7-Zip, Info-ZIP and Python write Chinese names, and as Chinese Windows writes them.
  TempFolder folder;
  WriteBytes(folder / L"marked.zip",
             ZipBuilder().Add(ZipEntry::File("Tovarelin/霁岚舟.exe", "MZ").Utf8()).Finish());
  WriteBytes(folder / L"oem.zip",
             ZipBuilder().Add(ZipEntry::File("\xf6\xab\xe1\xb0\xd6\xdb.exe", "MZ")).Finish());
  EXPECT_TRUE(OwnReaderTakesPackage(folder / L"marked.zip"));
  EXPECT_FALSE(OwnReaderTakesPackage(folder / L"oem.zip"));
}

// The proxy is a loopback server that answers every request itself and records its target,
// which a client sends to a proxy in absolute form (Wine: where the proxy's host name differs
// from the target's). At the target itself nothing listens.
TEST(Windows7, RequestsTakeTheProxyOfInternetOptionsWhereTheAutomaticTypeIsRefused) {
  InternetOptions options;
  std::string proxyName;
  TestHttpServer proxy([&](const HttpRequest& request) {
    return HttpResponse::Body(request.target != "/proxy.pac" ? "proxy"
        : "function FindProxyForURL(url, host) { return \"PROXY " + proxyName + "\"; }");
  });
  proxyName = "localhost:" + std::to_string(proxy.port());
  TestHttpServer server(Answer(HttpResponse::Body("direct")));
  const std::wstring nowhere = ClosedPortUrl() + L"/Tovarelin.zip";
  const auto get = [](const std::wstring& url) {
    return HttpGet(url, L"", L"", nullptr, nullptr, ProxyAccess::kInternetOptions);
  };

  options.Set(kFixedProxy, proxyName, "<local>");  // host names without dots go direct
  EXPECT_EQ("proxy", get(nowhere));
  EXPECT_EQ("direct", get(L"http://localhost:" + std::to_wstring(server.port()) + L"/a"));
  options.Set(kDirect | kScript, "", "", WideToUtf8(proxy.url()) + "/proxy.pac");
  EXPECT_EQ("proxy", get(nowhere));
  options.Set(kDirect | kScript, "", "", WideToUtf8(ClosedPortUrl()) + "/proxy.pac");
  EXPECT_EQ("direct", get(server.url() + L"/b"));
  options.Set(kDirect, "");
  EXPECT_EQ("direct", get(server.url() + L"/c"));
  const auto requests = proxy.requests();
  ASSERT_EQ(3u, requests.size());
  EXPECT_EQ(WideToUtf8(nowhere), requests[0].target);
  EXPECT_EQ(WideToUtf8(nowhere), requests[2].target);
}
