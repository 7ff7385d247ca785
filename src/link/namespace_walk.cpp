// Flattening the app's OSCQuery namespace into the values map and the sources
// list of one reading.

#include "link/recorder.hpp"

#include <string>
#include <vector>

namespace zindle::link {
namespace {

constexpr std::string_view kSourcePath = "/source";

// A member of `node`, or nullptr; `node` must be an object.
const Json* member(const Json& node, std::string_view key) {
  const auto found = node.find(key);
  return found == node.end() ? nullptr : &*found;
}

template <typename Predicate>
bool allOf(const Json& array, Predicate predicate) {
  for (const Json& element : array) {
    if (!predicate(element)) return false;
  }
  return true;
}

// The "/source" node with a value settles the sources list from its "RANGE":
// a usable range replaces the list, a malformed first object empties it, and
// a range that is missing or unusable leaves it as it was.
void settleSources(const Json& node, std::vector<std::string>& sources) {
  const Json* range = member(node, "RANGE");
  if (range == nullptr || !range->is_array() || range->empty() ||
      !allOf(*range, [](const Json& e) { return e.is_object(); })) {
    return;
  }
  const Json* vals = member(range->front(), "VALS");
  if (vals == nullptr || !vals->is_array() ||
      !allOf(*vals, [](const Json& e) { return e.is_string(); })) {
    sources.clear();
    return;
  }
  sources.clear();
  sources.reserve(vals->size());
  for (const Json& title : *vals) {
    sources.push_back(title.get_ref<const std::string&>());
  }
}

void visit(const Json& node, Reading& reading) {
  const Json* fullPath = member(node, "FULL_PATH");
  if (fullPath == nullptr || !fullPath->is_string()) return;
  const Json* value = member(node, "VALUE");
  if (value == nullptr || !value->is_array() || value->empty()) return;

  const std::string& path = fullPath->get_ref<const std::string&>();
  reading.values.insert_or_assign(path, value->front());
  if (path == kSourcePath) settleSources(node, reading.sources);
}

}  // namespace

void walk(const Json& root, Reading& reading) {
  // An explicit stack rather than recursion: the app's document may nest as
  // deep as the parser allows, and a walk over an already-built value (as a
  // caller may hand us) has no depth limit at all.
  std::vector<const Json*> pending;
  if (root.is_object()) pending.push_back(&root);
  while (!pending.empty()) {
    const Json& node = *pending.back();
    pending.pop_back();
    visit(node, reading);

    const Json* contents = member(node, "CONTENTS");
    if (contents == nullptr || !contents->is_object()) continue;
    // Pushed last to first, so children are visited in the object's order
    // and each subtree before its next sibling, as a recursive walk would:
    // that order decides which of two nodes with one path wins.
    for (auto child = contents->crbegin(); child != contents->crend();
         ++child) {
      if (child->is_object()) pending.push_back(&*child);
    }
  }
}

}  // namespace zindle::link
