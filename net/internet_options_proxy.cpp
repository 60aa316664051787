#include "net/internet_options_proxy.h"

namespace {

constexpr DWORD kDetectBy = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;

// Through the proxy when one is named, else direct.
WinHttpHandle Open(const wchar_t* userAgent, const wchar_t* proxy, const wchar_t* bypass) {
  const DWORD access = proxy ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY;
  return WinHttpHandle(WinHttpOpen(userAgent, access, proxy, proxy ? bypass : nullptr, 0));
}

// Auto-detection first, then the script, as Internet Explorer tries them. The answer opens the
// session that makes the request rather than going onto the request, which Wine ignores.
bool LookUpProxy(const wchar_t* userAgent, const std::wstring& url, bool autoDetect,
                 const wchar_t* scriptUrl, WINHTTP_PROXY_INFO& found) {
  const WinHttpHandle lookup = Open(userAgent, nullptr, nullptr);
  if (!lookup) return false;
  WINHTTP_AUTOPROXY_OPTIONS options = {};
  options.fAutoLogonIfChallenged = TRUE;
  if (autoDetect) {
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = kDetectBy;
    if (WinHttpGetProxyForUrl(lookup.get(), url.c_str(), &options, &found)) return true;
  }
  if (!scriptUrl) return false;
  options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
  options.dwAutoDetectFlags = 0;
  options.lpszAutoConfigUrl = scriptUrl;
  return WinHttpGetProxyForUrl(lookup.get(), url.c_str(), &options, &found);
}

}  // namespace

WinHttpHandle OpenInternetOptionsSession(const wchar_t* userAgent, const std::wstring& url) {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&config)) return Open(userAgent, nullptr, nullptr);
  const GlobalString proxy(config.lpszProxy), bypass(config.lpszProxyBypass),
      scriptUrl(config.lpszAutoConfigUrl);
  WINHTTP_PROXY_INFO found = {};
  if ((config.fAutoDetect || scriptUrl) &&
      LookUpProxy(userAgent, url, config.fAutoDetect, scriptUrl.get(), found)) {
    const GlobalString foundProxy(found.lpszProxy), foundBypass(found.lpszProxyBypass);
    return Open(userAgent, foundProxy.get(), foundBypass.get());
  }
  return Open(userAgent, proxy.get(), bypass.get());
}
