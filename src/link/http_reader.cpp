#include "link/http_reader.hpp"

#include <algorithm>
#include <climits>
#include <limits>
#include <new>
#include <string>

#include <curl/curl.h>

#include "link/curl_library.hpp"
#include "link/ports.hpp"

namespace zindle::link {
namespace {

constexpr long kStatusOk = 200;

// Only paths we can pass on verbatim: a blank or a control character would
// either be refused by libcurl or reach the request line as it is.
bool isPlainPath(std::string_view path) {
  return !path.empty() && path.front() == '/' &&
         std::all_of(path.begin(), path.end(),
                     [](char c) { return c > ' ' && c < '\x7f'; });
}

struct Body {
  std::string& bytes;
  std::size_t limit;
};

// A body buffer larger than this is given back at the next read rather than
// kept for it.
constexpr std::size_t kKeptBodyCapacity = 1u << 20;

// libcurl's write callback. Taking fewer bytes than offered aborts the
// transfer, which is how a body past the limit becomes no answer.
std::size_t keepBody(char* data, std::size_t size, std::size_t count,
                     void* user) {
  Body& body = *static_cast<Body*>(user);
  const std::size_t bytes = size * count;  // libcurl always passes size 1
  if (bytes > body.limit - body.bytes.size()) return 0;
  try {
    body.bytes.append(data, bytes);
  } catch (const std::bad_alloc&) {
    return 0;  // no exception may unwind through libcurl
  }
  return bytes;
}

// The options every request of a reader shares. Each one closes a way in
// which the environment or the server could steer the request or make
// libcurl write to our standard streams.
bool setCommonOptions(const CurlLibrary& curl, CURL* easy,
                      std::size_t maxBodyBytes) {
  const auto set = [&curl, easy](CURLoption option, auto value) {
    return curl.easySetopt(easy, option, value) == CURLE_OK;
  };
  return set(CURLOPT_PROXY, "") &&  // "" outranks every *_proxy variable
         set(CURLOPT_FOLLOWLOCATION, 0L) && set(CURLOPT_MAXREDIRS, 0L) &&
         allowOnlyHttp(curl, easy) && set(CURLOPT_HTTP09_ALLOWED, 0L) &&
         // Time-outs by alarm() would send us signals; we have no handler.
         set(CURLOPT_NOSIGNAL, 1L) && set(CURLOPT_VERBOSE, 0L) &&
         set(CURLOPT_NOPROGRESS, 1L) &&
         // Without our own write function libcurl prints bodies to stdout.
         set(CURLOPT_WRITEFUNCTION, &keepBody) &&
         // Refuses at once an answer whose announced length is too long.
         set(CURLOPT_MAXFILESIZE_LARGE,
             static_cast<curl_off_t>(std::min<std::size_t>(
                 maxBodyBytes, std::numeric_limits<curl_off_t>::max())));
}

}  // namespace

struct CurlReader::Handle {
  explicit Handle(const CurlLibrary& library)
      : curl(library), easy(library.easyInit()) {}
  ~Handle() { curl.easyCleanup(easy); }  // accepts nullptr
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  const CurlLibrary& curl;
  CURL* easy;
  // Kept from read to read: the namespace arrives at every call, at about
  // the same size, and a buffer grown anew each time scattered the heap.
  std::string body;
};

CurlReader::CurlReader(std::size_t maxBodyBytes)
    : maxBodyBytes_(maxBodyBytes) {}
CurlReader::~CurlReader() = default;
CurlReader::CurlReader(CurlReader&&) noexcept = default;
CurlReader& CurlReader::operator=(CurlReader&&) noexcept = default;

std::optional<std::string_view> CurlReader::get(
    std::int64_t port, std::string_view path,
    std::chrono::milliseconds timeout) {
  // libcurl reads a time-out of 0 as none at all, so it is never passed on.
  if (!isPort(port) || !isPlainPath(path) || timeout.count() <= 0) {
    return std::nullopt;
  }
  try {
    if (!handle_) {
      const CurlLibrary& library = curlLibrary();
      auto handle = std::make_unique<Handle>(library);
      if (handle->easy == nullptr ||
          !setCommonOptions(library, handle->easy, maxBodyBytes_)) {
        return std::nullopt;
      }
      handle_ = std::move(handle);
    }
    const CurlLibrary& curl = handle_->curl;
    CURL* easy = handle_->easy;
    const std::string url =
        "http://127.0.0.1:" + std::to_string(port) + std::string(path);
    const long timeoutMs = static_cast<long>(
        std::min<std::chrono::milliseconds::rep>(timeout.count(), LONG_MAX));
    std::string& bytes = handle_->body;
    // The body of the last read lived until now; a large one is given back
    // rather than kept for the next.
    if (bytes.capacity() > kKeptBodyCapacity) std::string().swap(bytes);
    bytes.clear();
    Body body{bytes, maxBodyBytes_};
    long status = 0;
    const bool answered =
        curl.easySetopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK &&
        curl.easySetopt(easy, CURLOPT_TIMEOUT_MS, timeoutMs) == CURLE_OK &&
        curl.easySetopt(easy, CURLOPT_WRITEDATA, &body) == CURLE_OK &&
        curl.easyPerform(easy) == CURLE_OK &&
        curl.easyGetinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
        status == kStatusOk;
    if (!answered) return std::nullopt;
    return std::string_view(bytes);
  } catch (const std::bad_alloc&) {
    // Running out of memory on one read is one more way of getting no
    // answer; the caller treats it like any other.
    return std::nullopt;
  }
}

}  // namespace zindle::link
