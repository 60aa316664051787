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
#include "support/http_server.h"
#include "support/install_scenario.h"
#include "support/zip_builder.h"

namespace {

constexpr wchar_t kConnectionsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr wchar_t kConnectionSettings[] = L"DefaultConnectionSettings";
// The flags of that value as the Internet Options dialog writes it.
constexpr DWORD kDirect = 1, kFixedProxy = 2, kScript = 4;

// The current user's Internet Options proxy for one test, in the value that
// WinHttpGetIEProxyConfigForCurrentUser reads (Wine too); what was there before comes back.
class InternetOptions {
 public:
  InternetOptions() {
    RegCreateKeyExW(HKEY_CURRENT_USER, kConnectionsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key_, &created_);
    DWORD size = 0;
    if (RegQueryValueExW(key_, kConnectionSettings, nullptr, nullptr, nullptr, &size) == 0) {
      saved_.emplace(size, '\0');
      RegQueryValueExW(key_, kConnectionSettings, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(saved_->data()), &size);
    }
  }
  ~InternetOptions() {
    if (saved_) Write(*saved_);
    else RegDeleteValueW(key_, kConnectionSettings);
    RegCloseKey(key_);
    if (created_ == REG_CREATED_NEW_KEY) RegDeleteKeyW(HKEY_CURRENT_USER, kConnectionsKey);
  }

  // Each text goes as its length and its bytes, after the version, a counter and the flags.
  void Set(DWORD flags, const std::string& proxy, const std::string& bypass = "",
           const std::string& script = "") {
    std::string value;
    for (const DWORD number : {DWORD{0x46}, DWORD{1}, flags})
      value.append(reinterpret_cast<const char*>(&number), sizeof number);
    for (const std::string& text : {proxy, bypass, script}) {
      const DWORD length = static_cast<DWORD>(text.size());
      value.append(reinterpret_cast<const char*>(&length), sizeof length).append(text);
    }
    Write(value + std::string(32, '\0'));
  }

 private:
  void Write(const std::string& value) {
    RegSetValueExW(key_, kConnectionSettings, 0, REG_BINARY,
                   reinterpret_cast<const BYTE*>(value.data()), static_cast<DWORD>(value.size()));
  }

  HKEY key_ = nullptr;
  DWORD created_ = 0;
  std::optional<std::string> saved_;
};

std::string Get(const std::wstring& url) {
  return HttpGet(url, L"", L"", nullptr, ProxyAccess::kInternetOptions);
}

}  // namespace

TEST(Windows7, ZipNamesMarkedUtf8GoToOurReaderOtherPackagesToTheShell) {
  const WindowsVersion version = RunningWindowsVersion();
  ASSERT_EQ(6u, version.major);
  ASSERT_EQ(1u, version.minor);
  TempFolder folder;
  // As 7-Zip, Info-ZIP and Python write Chinese names; as Chinese Windows writes them; ASCII.
  const std::string oemName = "Tovarelin/\xf6\xab\xe1\xb0\xd6\xdb.exe";
  WriteBytes(folder / L"marked.zip",
             ZipBuilder().Add(ZipEntry::File("Tovarelin/霁岚舟.exe", "MZ").Utf8()).Finish());
  WriteBytes(folder / L"oem.zip", ZipBuilder().Add(ZipEntry::File(oemName, "MZ")).Finish());
  WriteBytes(folder / L"ascii.zip",
             ZipBuilder().Add(ZipEntry::File("Tovarelin/product.exe", "MZ").Utf8()).Finish());
  EXPECT_TRUE(OwnReaderTakesPackage(folder / L"marked.zip"));
  EXPECT_FALSE(OwnReaderTakesPackage(folder / L"oem.zip"));
  EXPECT_FALSE(OwnReaderTakesPackage(folder / L"ascii.zip"));
}

// WinHTTP refuses the automatic proxy type here (the seam ProxyAccess::kInternetOptions). The
// proxy is a loopback server that answers every request itself and records its target, which a
// client sends to a proxy in absolute form (Wine only where the proxy's host name differs from
// the target's); at the target itself nothing listens.
class Windows7Proxy : public ::testing::Test {
 protected:
  std::string ProxyName() const { return "localhost:" + std::to_string(proxy_.port()); }

  InternetOptions options_;
  TestHttpServer proxy_{[this](const HttpRequest& request) {
    return HttpResponse::Body(request.target == "/proxy.pac"
                                  ? "function FindProxyForURL(url, host) { return \"PROXY " +
                                        ProxyName() + "\"; }"
                                  : "through the proxy");
  }};
  TestHttpServer server_{Answer(HttpResponse::Body("direct"))};
  const std::wstring nowhere_ = ClosedPortUrl() + L"/Tovarelin.zip";
};

TEST_F(Windows7Proxy, FixedProxyWithItsBypassList) {
  options_.Set(kFixedProxy, ProxyName(), "<local>");
  EXPECT_EQ("through the proxy", Get(nowhere_));
  // A host name without dots is local: direct.
  EXPECT_EQ("direct", Get(L"http://localhost:" + std::to_wstring(server_.port()) + L"/a"));
  ASSERT_EQ(1u, proxy_.requests().size());
  EXPECT_EQ(WideToUtf8(nowhere_), proxy_.requests()[0].target);
}

TEST_F(Windows7Proxy, ScriptNamesTheProxyAndAFailedLookupOrNoProxyGoesDirect) {
  options_.Set(kDirect | kScript, "", "", WideToUtf8(proxy_.url()) + "/proxy.pac");
  EXPECT_EQ("through the proxy", Get(nowhere_));
  ASSERT_EQ(2u, proxy_.requests().size());
  EXPECT_EQ(WideToUtf8(nowhere_), proxy_.requests()[1].target);

  options_.Set(kDirect | kScript, "", "", WideToUtf8(ClosedPortUrl()) + "/proxy.pac");
  EXPECT_EQ("direct", Get(server_.url() + L"/a"));
  options_.Set(kDirect, "");
  EXPECT_EQ("direct", Get(server_.url() + L"/b"));
  EXPECT_EQ(2u, proxy_.requests().size());
}
