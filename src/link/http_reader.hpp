#pragma once
// Reading JSON documents from the app's OSCQuery server over loopback HTTP.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace zindle::link {

// Bodies past this size count as no answer. The app's namespace is about
// 16 KB with eight sources chosen; even a recorder offering hundreds of
// sources stays far below this, and every read's memory is a small multiple
// of it.
inline constexpr std::size_t kMaxBodyBytes = 4u << 20;

class HttpReader {
 public:
  virtual ~HttpReader() = default;
  // One GET of http://127.0.0.1:<port><path>, `timeout` bounding the whole
  // request. Returns the body when the answer has status 200 (an empty body
  // too); nothing on any failure of the request, whatever its cause. The
  // bytes live until the next get() or the reader's end. Throws
  // RecorderError::failed only when the HTTP client itself cannot be
  // loaded.
  virtual std::optional<std::string_view> get(
      std::int64_t port, std::string_view path,
      std::chrono::milliseconds timeout) = 0;
};

// The real reader, on libcurl. It keeps its connection open between reads,
// for the reads of one call and of the calls after it; a connection the app
// has closed meanwhile, or that leads to another port, is replaced by a new
// one. Every read still asks the app afresh; nothing is cached. It is not
// steered by the environment: proxy variables are ignored and redirects are
// not followed. It prints nothing, and libcurl is set up on the first read,
// not before.
//
// Beyond the contract of HttpReader::get, these give nothing without making
// a request: a port outside 1 to 65535, a path that does not start with "/"
// or holds a byte outside printable ASCII (a blank, a control character),
// and a time-out of zero or less.
class CurlReader final : public HttpReader {
 public:
  // Answers longer than `maxBodyBytes` count as no answer.
  explicit CurlReader(std::size_t maxBodyBytes = kMaxBodyBytes);
  ~CurlReader() override;
  CurlReader(const CurlReader&) = delete;
  CurlReader& operator=(const CurlReader&) = delete;
  // A moved-from reader stays usable; it opens a new connection.
  CurlReader(CurlReader&& other) noexcept;
  CurlReader& operator=(CurlReader&& other) noexcept;

  std::optional<std::string_view> get(
      std::int64_t port, std::string_view path,
      std::chrono::milliseconds timeout) override;

 private:
  struct Handle;
  std::size_t maxBodyBytes_;
  std::unique_ptr<Handle> handle_;  // made by the first get()
};

}  // namespace zindle::link
