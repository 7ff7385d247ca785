#pragma once

// The document the simulator's window draws: everything a person watching
// the app wants to see at one moment, as one JSON object whose shape never
// changes (the members are always there, whatever their values).
//
//   state, error, failure   as the app publishes them; elapsed in seconds
//   settings                every setting by its key, as published
//   assembled               {width, height, file, frames, dropped}
//   chosen                  by slot: {place, title, kind, width, height,
//                           fps, online, sound, file, frames, dropped,
//                           box: {x, y, width, height}}, the box being
//                           where it is drawn in the assembled picture
//   others                  the sources offered but not chosen: {title,
//                           kind, width, height, fps, sound}
//   messages                the last OSC messages, newest first: {number,
//                           time (ms since 1970), address, types (the type
//                           tags), arguments (null for a tag with no value)},
//                           long texts and many arguments cut as
//                           sim/recent_messages.hpp says

#include <vector>

#include <nlohmann/json.hpp>

#include "sim/recent_messages.hpp"
#include "sim/snapshot.hpp"
#include "sim/source_catalog.hpp"

namespace zindle::sim {

// The document of `now`, `catalog` being every source the app could see and
// `messages` the last messages received, newest first.
nlohmann::json viewState(const Snapshot& now,
                         const std::vector<Source>& catalog,
                         const std::vector<ReceivedMessage>& messages);

}  // namespace zindle::sim
