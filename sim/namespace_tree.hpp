#pragma once

// The OSCQuery documents of the simulated app: the namespace tree built from
// a Snapshot, the lookup of one node in it, and the host information.

#include <string_view>

#include <nlohmann/json.hpp>

#include "sim/snapshot.hpp"

namespace zindle::sim {

// The whole namespace. Every node has "FULL_PATH"; containers have
// "CONTENTS" keyed by the last path segment; value nodes have "TYPE" (an
// OSC type tag), "ACCESS" (1 read-only, 2 write-only, 3 read-write),
// "DESCRIPTION" and "VALUE", an array of one value. "/source" also holds
// slot 1's title and "RANGE" [{"VALS": [the titles that can be chosen]}].
nlohmann::json namespaceTree(const Snapshot& snapshot);

// The node at `path` ("/" or "/status/state"; a trailing slash is ignored)
// within `tree`, or nullptr when there is none. The pointer lives as long as
// `tree` is left unchanged.
const nlohmann::json* findNode(const nlohmann::json& tree,
                               std::string_view path);

// The answer to "/?HOST_INFO": the app's `name` and the UDP port of its OSC
// input.
nlohmann::json hostInfo(std::string_view name, int oscPort);

}  // namespace zindle::sim
