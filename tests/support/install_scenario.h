// The whole installation as a person does it: the real installer under Wine, driven only
// through its window, against loopback servers that each scenario scripts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/desktop.h"
#include "support/http_server.h"
#include "support/threads.h"
#include "support/window_driver.h"

// A loopback server whose answer the scenario may change while it runs.
class ScriptedServer {
 public:
  explicit ScriptedServer(HttpResponse answer, uint16_t port = 0);
  void Answer(HttpResponse answer);
  bool listening() const { return server_.listening(); }
  std::wstring url() const { return server_.url(); }
  std::vector<HttpRequest> requests() const { return server_.requests(); }
  std::vector<std::string> targets() const;

 private:
  mutable Mutex mutex_;
  HttpResponse answer_;
  TestHttpServer server_;  // last: it stops before the answer goes
};

// Names that end in '/' are folders (their data is ignored).
using PackageFiles = std::vector<std::pair<std::string, std::string>>;
std::string ZipPackage(const PackageFiles& files);
// The product at Tovarelin/bin/霁岚舟.exe, a note, an empty folder, and fillerBytes that do
// not compress in Tovarelin/data/filler.bin.
std::string ProductPackage(size_t fillerBytes = 0);
// The body in pieces with pauses between them, so that a person can watch the progress.
HttpResponse SlowBody(const std::string& body, int pieces, int pauseMs);

std::string SettingsJson(const std::wstring& apiBaseUrl, const std::wstring& apiKey,
                         const std::wstring& downloadUrl, const std::wstring& packageSha256 = L"",
                         const std::wstring& packageSignature = L"");
// The bytes' SHA-256 in upper-case hex, by the installer's own (separately tested) function.
std::wstring Sha256Hex(const std::string& bytes);
// The publisher's signature of the bytes, with the private half of the test installer's key.
std::wstring Signature(const std::string& bytes);
// A loopback URL on which nothing listens.
std::wstring ClosedPortUrl();

std::wstring InstallFolderOn(wchar_t drive);  // e.g. C:\Tovarelin
std::wstring ProductExeIn(const std::wstring& installFolder);

class InstallScenario : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The settings server, on the port of kSettingsServerUrl.
  ScriptedServer& ServeSettings(const std::wstring& apiBaseUrl, const std::wstring& apiKey,
                                const std::wstring& downloadUrl,
                                const std::wstring& packageSha256 = L"",
                                const std::wstring& packageSignature = L"");
  // A package host with that answer, and settings that link to it directly (the parser down)
  // and publish its signature, unless they are given another one.
  ScriptedServer& ServePackage(HttpResponse package, const std::wstring& packageSha256 = L"",
                               const std::wstring* packageSignature = nullptr);
  void Shoot(const InstallerProcess& installer, const std::string& suffix = "",
             HWND alsoShown = nullptr) const;

  // Waits for the end of the run: the failure's message box, or none after a success.
  MessageBoxInfo WaitForEnd(const InstallerProcess& installer) const;
  void ExpectInstalled(const InstallerProcess& installer) const;
  // The message box with the text, then the window Ready again once it is dismissed.
  void ExpectFailure(InstallerProcess& installer, const std::wstring& text) const;
  // The package's tree, the shortcut to it, and no package left behind.
  void ExpectProductInstalledIn(const std::wstring& installFolder, bool withFiller = false) const;
  void ExpectRunning(const InstallerProcess& installer) const;

  std::optional<ScriptedServer> settings_;
  std::optional<ScriptedServer> files_;
};
