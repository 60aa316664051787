#include "support/http_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>

#include "common/constants.h"
#include "support/threads.h"

std::string HttpRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (_stricmp(key.c_str(), name.c_str()) == 0) return value;
  return {};
}

bool HttpRequest::HasHeader(const std::string& name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& h) { return _stricmp(h.first.c_str(), name.c_str()) == 0; });
}

HttpResponse HttpResponse::Body(std::string body, int status) {
  HttpResponse response;
  response.status = status;
  response.pieces = {std::move(body)};
  return response;
}

HttpResponse HttpResponse::Redirect(int status, const std::string& location) {
  HttpResponse response;
  response.status = status;
  response.headers = {{"Location", location}};
  return response;
}

uint16_t SettingsServerPort() {
  const std::wstring url = kSettingsServerUrl;
  const size_t colon = url.rfind(L':');
  if (colon == url.find(L"://")) return 80;  // no port written
  return static_cast<uint16_t>(std::stoi(url.substr(colon + 1)));
}

struct TestHttpServer::State {
  HttpHandler handler;
  SOCKET listener = INVALID_SOCKET;
  uint16_t port = 0;
  std::optional<Thread> acceptor;
  KernelHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};  // set when the server stops
  Mutex mutex;  // guards what follows
  std::vector<SOCKET> connections;
  std::deque<Thread> workers;
  std::vector<HttpRequest> requests;

  void Accept();
  void Serve(SOCKET client);
  bool WaitReadable(SOCKET s);
  bool Pause(DWORD ms) {  // false when the server is stopping
    return WaitForSingleObject(stop.get(), ms) == WAIT_TIMEOUT;
  }
  bool Stopping() { return !Pause(0); }
};

namespace {

bool SendAll(SOCKET s, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const int n = send(s, data.data() + sent, static_cast<int>(std::min<size_t>(data.size() - sent, 1 << 20)), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 307: return "Temporary Redirect";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

// The answer to a request for a range, as HttpResponse says.
HttpResponse AnswerRange(const HttpRequest& request, HttpResponse response) {
  std::string etag, body, range = request.Header("Range");
  for (const auto& [key, value] : response.headers) etag = key == "ETag" ? value : etag;
  if (response.status != 200 || etag.empty() || range.rfind("bytes=", 0) != 0 ||
      range.back() != '-' || (request.HasHeader("If-Range") && request.Header("If-Range") != etag))
    return response;
  for (const std::string& piece : response.pieces) body += piece;
  const std::string from = range.substr(6, range.size() - 7), size = std::to_string(body.size());
  response.status = 206;
  response.pieces = {body.substr(std::stoull(from))};
  response.headers.emplace_back("Content-Range", "bytes " + from + "-" +
                                std::to_string(body.size() - 1) + "/" + size);
  return response;
}

// waitReadable: false when no more data should be waited for.
bool ReadRequest(SOCKET s, HttpRequest& request, const std::function<bool(SOCKET)>& waitReadable) {
  std::string data;
  char buffer[4096];
  size_t end;
  while ((end = data.find("\r\n\r\n")) == std::string::npos) {
    if (!waitReadable(s)) return false;
    const int n = recv(s, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    data.append(buffer, static_cast<size_t>(n));
  }
  const size_t lineEnd = data.find("\r\n");
  const std::string line = data.substr(0, lineEnd);
  const size_t space1 = line.find(' '), space2 = line.rfind(' ');
  request.method = line.substr(0, space1);
  request.target = line.substr(space1 + 1, space2 - space1 - 1);
  request.headerBlock = data.substr(lineEnd + 2, end + 2 - (lineEnd + 2));
  for (size_t pos = lineEnd + 2; pos < end;) {
    const size_t next = data.find("\r\n", pos);
    const std::string header = data.substr(pos, next - pos);
    const size_t colon = header.find(':');
    std::string value = colon == std::string::npos ? "" : header.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    request.headers.emplace_back(header.substr(0, colon), value);
    pos = next + 2;
  }
  return true;
}

}  // namespace

void TestHttpServer::State::Accept() {
  for (;;) {
    SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    std::lock_guard<Mutex> lock(mutex);
    if (Stopping()) {
      closesocket(client);
      return;
    }
    connections.push_back(client);
    workers.emplace_back([this, client] { Serve(client); });
  }
}

// Waits in short slices: a client that keeps its idle connection open (Wine's WinHTTP pools
// them for about 30 s) must not hold up the server's end, and shutdown() does not wake recv().
bool TestHttpServer::State::WaitReadable(SOCKET s) {
  for (;;) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval slice = {0, 50000};
    const int ready = select(0, &readable, nullptr, nullptr, &slice);
    if (ready != 0) return ready > 0;
    if (Stopping()) return false;
  }
}

void TestHttpServer::State::Serve(SOCKET client) {
  HttpRequest request;
  bool reset = false;
  const auto waitReadable = [this](SOCKET s) { return WaitReadable(s); };
  while (ReadRequest(client, request, waitReadable)) {
    {
      std::lock_guard<Mutex> lock(mutex);
      requests.push_back(request);
    }
    const HttpResponse response = AnswerRange(request, handler(request));
    if (response.neverAnswer) {
      Pause(INFINITE);
      break;
    }
    long long bodyLength = 0;
    for (const auto& piece : response.pieces) bodyLength += static_cast<long long>(piece.size());
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + Reason(response.status) + "\r\n";
    for (const auto& [key, value] : response.headers) head += key + ": " + value + "\r\n";
    if (response.framing == HttpResponse::Framing::ContentLength)
      head += "Content-Length: " +
              std::to_string(response.announcedLength >= 0 ? response.announcedLength : bodyLength) + "\r\n";
    else if (response.framing == HttpResponse::Framing::Chunked)
      head += "Transfer-Encoding: chunked\r\n";
    const bool close = response.framing == HttpResponse::Framing::CloseDelimited || response.dropAfter >= 0;
    head += close ? "Connection: close\r\n\r\n" : "\r\n";
    if (!SendAll(client, head)) break;

    bool ok = true;
    long long sent = 0;
    for (size_t i = 0; ok && i < response.pieces.size(); ++i) {
      if (i > 0 && response.pauseMs > 0 && !Pause(response.pauseMs)) ok = false;
      std::string piece = response.pieces[i];
      if (response.dropAfter >= 0 && sent + static_cast<long long>(piece.size()) > response.dropAfter) {
        piece.resize(static_cast<size_t>(response.dropAfter - sent));
        ok = false;
        reset = response.resetOnDrop;
      }
      sent += static_cast<long long>(piece.size());
      if (response.framing == HttpResponse::Framing::Chunked && !piece.empty()) {
        char size[32];
        snprintf(size, sizeof size, "%zx\r\n", piece.size());
        piece = size + piece + "\r\n";
      }
      if (!SendAll(client, piece)) ok = false;
    }
    if (ok && response.framing == HttpResponse::Framing::Chunked) ok = SendAll(client, "0\r\n\r\n");
    if (!ok || close) break;
    request = HttpRequest();
  }
  if (reset) {
    // Closing with a zero linger time sends a reset instead of an orderly end.
    const linger abort = {1, 0};
    setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    std::lock_guard<Mutex> lock(mutex);
    std::replace(connections.begin(), connections.end(), client, INVALID_SOCKET);
    closesocket(client);
    return;
  }
  shutdown(client, SD_BOTH);
}

TestHttpServer::TestHttpServer(HttpHandler handler, uint16_t port) : state_(std::make_shared<State>()) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  state_->handler = std::move(handler);
  state_->listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (bind(state_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(state_->listener, SOMAXCONN) != 0) {
    closesocket(state_->listener);
    state_->listener = INVALID_SOCKET;
    return;
  }
  int length = sizeof address;
  getsockname(state_->listener, reinterpret_cast<sockaddr*>(&address), &length);
  state_->port = ntohs(address.sin_port);
  state_->acceptor.emplace([state = state_.get()] { state->Accept(); });
}

TestHttpServer::~TestHttpServer() {
  SetEvent(state_->stop.get());
  if (state_->listener != INVALID_SOCKET) closesocket(state_->listener);
  if (state_->acceptor) state_->acceptor->join();
  for (SOCKET s : state_->connections) shutdown(s, SD_BOTH);
  for (auto& worker : state_->workers) worker.join();
  for (SOCKET s : state_->connections) closesocket(s);
  WSACleanup();
}

bool TestHttpServer::listening() const { return state_->listener != INVALID_SOCKET; }
uint16_t TestHttpServer::port() const { return state_->port; }
std::wstring TestHttpServer::url() const { return L"http://127.0.0.1:" + std::to_wstring(state_->port); }

std::vector<HttpRequest> TestHttpServer::requests() const {
  std::lock_guard<Mutex> lock(state_->mutex);
  return state_->requests;
}
