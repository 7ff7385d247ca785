#pragma once
// Reading JSON documents from the app's OSCQuery server over loopback HTTP.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "link/json_text.hpp"

namespace zindle::link {

// Bodies past this size count as no answer: a namespace is a few kilobytes.
inline constexpr std::size_t kMaxBodyBytes = 64u << 20;

class HttpReader {
 public:
  virtual ~HttpReader() = default;
  // One GET of http://127.0.0.1:<port><path>, `timeout` bounding the whole
  // request. Returns the parsed document (an object or an array) when the
  // answer has status 200 and a JSON body; nothing on any failure, whatever
  // its cause. Never throws.
  virtual std::optional<Json> get(std::int64_t port, std::string_view path,
                                  std::chrono::milliseconds timeout) = 0;
};

// The real reader, on libcurl. It keeps one connection open between its
// reads, so one reader should serve one tool call. It is not steered by the
// environment: proxy variables are ignored and redirects are not followed.
class CurlReader final : public HttpReader {
 public:
  CurlReader();
  ~CurlReader() override;
  CurlReader(const CurlReader&) = delete;
  CurlReader& operator=(const CurlReader&) = delete;
  CurlReader(CurlReader&& other) noexcept;
  CurlReader& operator=(CurlReader&& other) noexcept;

  std::optional<Json> get(std::int64_t port, std::string_view path,
                          std::chrono::milliseconds timeout) override;

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

}  // namespace zindle::link
