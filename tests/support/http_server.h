// A scriptable HTTP/1.1 server on 127.0.0.1 for the tests; it records every request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct HttpRequest {
  std::string method;
  std::string target;  // path and query as sent
  std::vector<std::pair<std::string, std::string>> headers;
  std::string headerBlock;  // the header lines after the request line, exactly as sent

  // The value of the first header of that name (any case), or empty.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

// The server knows ranges as RFC 9110 has them for an answer of 200 with an ETag: to
// "Range: bytes=N-" whose If-Range, if any, names that ETag, it sends the body from byte N with
// 206 and its Content-Range; else the whole with 200. dropAfter counts the bytes it sends.
struct HttpResponse {
  enum class Framing { ContentLength, Chunked, CloseDelimited };

  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::vector<std::string> pieces;  // the body, sent piece by piece
  int pauseMs = 0;                  // before each piece after the first
  Framing framing = Framing::ContentLength;
  long long announcedLength = -1;   // Content-Length to announce; -1: the real length
  long long dropAfter = -1;         // close the connection after this many body bytes
  bool resetOnDrop = false;         // ... with a reset rather than an orderly close
  bool neverAnswer = false;         // hold the connection open and say nothing

  static HttpResponse Body(std::string body, int status = 200);
  static HttpResponse Redirect(int status, const std::string& location);
};

// The port of the built-in settings server URL, where the installer asks first.
uint16_t SettingsServerPort();

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

// A handler that gives every request the same answer.
inline HttpHandler Answer(HttpResponse response) {
  return [response](const HttpRequest&) { return response; };
}

class TestHttpServer {
 public:
  // port 0: any free port.
  explicit TestHttpServer(HttpHandler handler, uint16_t port = 0);
  ~TestHttpServer();  // stops accepting, ends every connection, joins every thread
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  bool listening() const;
  uint16_t port() const;
  std::wstring url() const;  // http://127.0.0.1:PORT
  std::vector<HttpRequest> requests() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};
