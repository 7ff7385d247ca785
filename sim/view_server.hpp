#pragma once

// The simulator's window, as a web page for a person to watch: HTTP on
// 127.0.0.1, on a port of its own, apart from the OSCQuery server. It serves
// GET (and HEAD) of the page ("/"), its style and script, and "/state", the
// document the page draws (sim/view_state.hpp); anything else gets a plain
// error: 404 for another path, 405 for another method, 414 for a URL longer
// than kLongestTarget, 403 for a request whose Host is not 127.0.0.1 or
// localhost.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/loopback_server.hpp"
#include "sim/source_catalog.hpp"

namespace zindle::sim {

class RecentMessages;
class RecorderModel;

class ViewServer {
 public:
  // The longest request target taken: the page asks for short paths only.
  static constexpr std::size_t kLongestTarget = 1024;

  // `model` and `messages` must outlive the server; `catalog` is every
  // source the app could see.
  ViewServer(RecorderModel& model, const RecentMessages& messages,
             std::vector<Source> catalog);

  // Binds 127.0.0.1:`port` (0: any free port) and starts serving on a
  // thread of its own. Returns the port bound. Throws std::runtime_error
  // when the port cannot be had.
  int start(int port);

  // Stops serving and waits for the thread to end. Safe to call more than
  // once.
  void stop();

 private:
  void answer(const httplib::Request& request, httplib::Response& response);

  RecorderModel& model_;
  const RecentMessages& messages_;
  const std::vector<Source> catalog_;
  LoopbackServer listener_;
};

// The files of the window (sim/view/), built into the program as they are
// written: made into string constants at build time by sim/view/embed.cmake.
struct ViewFile {
  std::string_view name;  // as under sim/view/, such as "view.css"
  std::string_view text;
};

// Every file of the window; they live as long as the program.
std::span<const ViewFile> viewFiles();

}  // namespace zindle::sim
