#include "support/install_scenario.h"

#include <mutex>

#include "app/main_window.h"
#include "common/code_pages.h"
#include "support/desktop.h"
#include "support/files.h"
#include "support/screenshot.h"
#include "support/signing.h"
#include "support/zip_builder.h"

namespace {

constexpr auto kRunTimeout = std::chrono::seconds(90);
constexpr wchar_t kScenarioDrives[] = L"CDF";  // C: and the two drives the prefix maps

std::string JsonString(const std::wstring& text) {
  std::string quoted = "\"";
  for (char c : WideToUtf8(text)) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

ScriptedServer::ScriptedServer(HttpResponse answer, uint16_t port)
    : answer_(std::move(answer)), server_([this](const HttpRequest&) {
        std::lock_guard<Mutex> lock(mutex_);
        return answer_;
      }, port) {}

void ScriptedServer::Answer(HttpResponse answer) {
  std::lock_guard<Mutex> lock(mutex_);
  answer_ = std::move(answer);
}

std::vector<std::string> ScriptedServer::targets() const {
  std::vector<std::string> targets;
  for (const auto& request : server_.requests()) targets.push_back(request.target);
  return targets;
}

std::string ZipPackage(const PackageFiles& files) {
  ZipBuilder zip;
  for (const auto& [name, data] : files)
    zip.Add(name.back() == '/' ? ZipEntry::Folder(name).Utf8()
                               : ZipEntry::File(name, data).Deflated().Utf8());
  return zip.Finish();
}

std::string ProductPackage(size_t fillerBytes) {
  std::string filler(fillerBytes, '\0');
  uint32_t state = 2463534242u;  // xorshift: bytes that deflate cannot shrink
  for (char& c : filler) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    c = static_cast<char>(state);
  }
  PackageFiles files = {{"Tovarelin/bin/霁岚舟.exe", "MZ stand-in for the product"},
                        {"Tovarelin/README.txt", "Tovarelin test package\r\n"},
                        {"Tovarelin/logs/", ""}};
  if (fillerBytes) files.push_back({"Tovarelin/data/filler.bin", filler});
  return ZipPackage(files);
}

HttpResponse SlowBody(const std::string& body, int pieces, int pauseMs) {
  HttpResponse response;
  const size_t step = (body.size() + pieces - 1) / pieces;
  for (size_t at = 0; at < body.size(); at += step)
    response.pieces.push_back(body.substr(at, step));
  response.pauseMs = pauseMs;
  return response;
}

std::string SettingsJson(const std::wstring& apiBaseUrl, const std::wstring& apiKey,
                         const std::wstring& downloadUrl, const std::wstring& packageSha256,
                         const std::wstring& packageSignature) {
  return "{\"code\": 0, \"data\": {\"api_base_url\": " + JsonString(apiBaseUrl) +
         ", \"api_key\": " + JsonString(apiKey) + ", \"download_url\": " +
         JsonString(downloadUrl) + ", \"package_sha256\": " + JsonString(packageSha256) +
         ", \"package_signature\": " + JsonString(packageSignature) + "}}";
}

std::wstring Signature(const std::string& bytes) { return PackageSigner().Sign(bytes); }

std::wstring Sha256Hex(const std::string& bytes) {
  const Sha256Digest digest = Sha256Of(bytes);
  std::wstring hex;
  for (const uint8_t byte : digest) {
    hex += L"0123456789ABCDEF"[byte >> 4];
    hex += L"0123456789ABCDEF"[byte & 15];
  }
  return hex;
}

std::wstring ClosedPortUrl() {
  std::wstring url;
  {
    TestHttpServer probe([](const HttpRequest&) { return HttpResponse::Body(""); });
    url = probe.url();
  }
  return url;
}

std::wstring InstallFolderOn(wchar_t drive) { return std::wstring(1, drive) + L":\\Tovarelin"; }

std::wstring ProductExeIn(const std::wstring& installFolder) {
  return installFolder + L"\\Tovarelin\\bin\\霁岚舟.exe";
}

void InstallScenario::SetUp() { TearDown(); }

void InstallScenario::TearDown() {
  for (const wchar_t* drive = kScenarioDrives; *drive; ++drive) RemoveTree(InstallFolderOn(*drive));
  DeleteFileW(DesktopShortcutPath().c_str());
}

ScriptedServer& InstallScenario::ServeSettings(const std::wstring& apiBaseUrl,
                                               const std::wstring& apiKey,
                                               const std::wstring& downloadUrl,
                                               const std::wstring& packageSha256,
                                               const std::wstring& packageSignature) {
  settings_.emplace(HttpResponse::Body(SettingsJson(apiBaseUrl, apiKey, downloadUrl,
                                                    packageSha256, packageSignature)),
                    SettingsServerPort());
  EXPECT_TRUE(settings_->listening()) << "the settings port is taken";
  return *settings_;
}

ScriptedServer& InstallScenario::ServePackage(HttpResponse package,
                                              const std::wstring& packageSha256,
                                              const std::wstring* packageSignature) {
  std::string bytes;
  for (const std::string& piece : package.pieces) bytes += piece;
  files_.emplace(std::move(package));
  ServeSettings(ClosedPortUrl(), L"", files_->url() + L"/files/Tovarelin.zip", packageSha256,
                packageSignature ? *packageSignature : Signature(bytes));
  return *files_;
}

void InstallScenario::Shoot(const InstallerProcess& installer, const std::string& suffix,
                            HWND alsoShown) const {
  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::wstring path = ScreenshotFolder() + L"\\" + Utf8ToWide(name + suffix) + L".png";
  EXPECT_TRUE(SaveWindowPng(installer.window(), path, alsoShown)) << "no screenshot";
}

MessageBoxInfo InstallScenario::WaitForEnd(const InstallerProcess& installer) const {
  HWND button = installer.control(IDC_START_BUTTON);
  MessageBoxInfo box;
  const bool ended = WaitUntil([&] {
    box = installer.FindMessageBox();
    return box.window != nullptr || installer.Text(button) == L"打开目录";
  }, kRunTimeout);
  EXPECT_TRUE(ended) << "the run did not end";
  return box;
}

void InstallScenario::ExpectInstalled(const InstallerProcess& installer) const {
  const MessageBoxInfo box = WaitForEnd(installer);
  EXPECT_EQ(nullptr, box.window) << "message box: " << WideToUtf8(box.text);
  HWND button = installer.control(IDC_START_BUTTON);
  EXPECT_EQ("打开目录", WideToUtf8(installer.Text(button)));
  EXPECT_TRUE(installer.Enabled(button));
  EXPECT_TRUE(installer.Enabled(installer.control(IDC_DRIVE_COMBO)));
  EXPECT_EQ(100, installer.ProgressPosition());
  EXPECT_FALSE(installer.ProgressMoves()) << "the bar still sweeps";
}

void InstallScenario::ExpectFailure(InstallerProcess& installer, const std::wstring& text) const {
  const MessageBoxInfo box = WaitForEnd(installer);
  ASSERT_NE(nullptr, box.window);
  Sleep(200);  // let the box paint before the picture
  Shoot(installer, "", box.window);
  EXPECT_EQ("安装失败", WideToUtf8(box.caption));
  EXPECT_EQ(WideToUtf8(text), WideToUtf8(box.text));
  installer.DismissMessageBox(box);

  HWND button = installer.control(IDC_START_BUTTON);
  EXPECT_EQ("开始安装", WideToUtf8(installer.Text(button)));
  EXPECT_TRUE(installer.Enabled(button));
  EXPECT_TRUE(installer.Enabled(installer.control(IDC_DRIVE_COMBO)));
  EXPECT_EQ(0, installer.ProgressPosition());
}

void InstallScenario::ExpectProductInstalledIn(const std::wstring& installFolder,
                                               bool withFiller) const {
  const std::wstring exe = ProductExeIn(installFolder);
  EXPECT_EQ("MZ stand-in for the product", ReadBytes(exe));
  std::vector<std::wstring> tree = {L"README.txt", L"bin\\", L"bin\\霁岚舟.exe", L"logs\\"};
  if (withFiller) tree.insert(tree.begin() + 3, {L"data\\", L"data\\filler.bin"});
  EXPECT_EQ(tree, ListTree(installFolder + L"\\Tovarelin"));
  EXPECT_FALSE(PathExists(installFolder + L"\\_download\\Tovarelin.zip"));
  EXPECT_FALSE(PathExists(installFolder + L"\\_download"));

  const ShortcutInfo shortcut = ReadShortcut(DesktopShortcutPath());
  ASSERT_TRUE(shortcut.loaded) << "no shortcut at " << WideToUtf8(DesktopShortcutPath());
  EXPECT_EQ(WideToUtf8(exe), WideToUtf8(shortcut.target));
  EXPECT_EQ(WideToUtf8(installFolder + L"\\Tovarelin\\bin"), WideToUtf8(shortcut.workingFolder));
  EXPECT_EQ(WideToUtf8(exe), WideToUtf8(shortcut.iconPath));
  EXPECT_EQ(0, shortcut.iconIndex);
}

void InstallScenario::ExpectRunning(const InstallerProcess& installer) const {
  EXPECT_EQ(nullptr, installer.FindMessageBox().window);
  EXPECT_FALSE(installer.Enabled(installer.control(IDC_START_BUTTON)));
  EXPECT_FALSE(installer.Enabled(installer.control(IDC_DRIVE_COMBO)));
  EXPECT_EQ("开始安装", WideToUtf8(installer.Text(installer.control(IDC_START_BUTTON))));
}
