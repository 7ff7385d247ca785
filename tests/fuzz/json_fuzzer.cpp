// The server's own JSON reader against nlohmann's parser, which it must match
// exactly: the same texts accepted, to the very same values, with nothing
// told apart by a looser comparison (an unsigned 1 is not a signed 1). The
// reader refuses besides what nlohmann reads past a NUL byte, documents
// nested deeper than kMaxJsonDepth, and scalars at the top.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "link/json_text.hpp"

using namespace zindle;

namespace {

// Type for type and value for value, without recursion.
bool same(const Json& a, const Json& b) {
  std::vector<std::pair<const Json*, const Json*>> pending{{&a, &b}};
  while (!pending.empty()) {
    const auto [x, y] = pending.back();
    pending.pop_back();
    if (x->type() != y->type() || x->size() != y->size()) return false;
    if (x->is_object()) {
      for (auto i = x->begin(), j = y->begin(); i != x->end(); ++i, ++j) {
        if (i.key() != j.key()) return false;
        pending.emplace_back(&*i, &*j);
      }
    } else if (x->is_array()) {
      for (std::size_t k = 0; k < x->size(); ++k) {
        pending.emplace_back(&(*x)[k], &(*y)[k]);
      }
    } else if (x->is_number_float()) {
      // Bit for bit: 0.0 and -0.0 differ here.
      const double u = x->get<double>();
      const double v = y->get<double>();
      if (std::memcmp(&u, &v, sizeof u) != 0) return false;
    } else if (*x != *y) {
      return false;
    }
  }
  return true;
}

std::size_t depthOf(const Json& root) {
  std::size_t deepest = 0;
  std::vector<std::pair<const Json*, std::size_t>> pending{{&root, 1}};
  while (!pending.empty()) {
    const auto [node, depth] = pending.back();
    pending.pop_back();
    if (!node->is_structured()) continue;
    deepest = std::max(deepest, depth);
    for (const Json& child : *node) pending.emplace_back(&child, depth + 1);
  }
  return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<Json> ours = parseJson(text);
  Json theirs = Json::parse(text.begin(), text.end(), nullptr,
                            /*allow_exceptions=*/false);
  const bool expected = !theirs.is_discarded() && theirs.is_structured() &&
                        text.find('\0') == std::string_view::npos &&
                        depthOf(theirs) <= kMaxJsonDepth;
  if (ours.has_value() != expected) std::abort();
  if (ours && !same(*ours, theirs)) std::abort();
  return 0;
}
