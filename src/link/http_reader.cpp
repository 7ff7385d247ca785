#include "link/http_reader.hpp"

namespace zindle::link {

// Placeholder until the libcurl reader lands.
struct CurlReader::Handle {};

CurlReader::CurlReader() : handle_(std::make_unique<Handle>()) {}
CurlReader::~CurlReader() = default;
CurlReader::CurlReader(CurlReader&&) noexcept = default;
CurlReader& CurlReader::operator=(CurlReader&&) noexcept = default;

std::optional<Json> CurlReader::get(std::int64_t, std::string_view,
                                    std::chrono::milliseconds) {
  return std::nullopt;
}

}  // namespace zindle::link
