#pragma once

// The simulated app's OSCQuery server: HTTP on 127.0.0.1 answering GET of
// "/?HOST_INFO", of "/" (the whole namespace) and of any node's own path,
// with the HTTP faults the model is told to show. A saved app's documents,
// when given, are answered in place of the model's.

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

#include "sim/loopback_server.hpp"
#include "sim/saved_app.hpp"
#include "sim/snapshot.hpp"

namespace zindle::sim {

class ActivityLog;
class RecorderModel;

class QueryServer {
 public:
  // `model` and `log` must outlive the server. `name` is announced as the
  // app's name and `oscPort` as its OSC input, unless `saved` holds host
  // information.
  QueryServer(RecorderModel& model, ActivityLog& log, std::string name,
              int oscPort, SavedApp saved = {});
  ~QueryServer();

  QueryServer(const QueryServer&) = delete;
  QueryServer& operator=(const QueryServer&) = delete;

  // Binds 127.0.0.1:`port` (0: any free port) and starts serving on a
  // thread of its own. Returns the port bound. Throws std::runtime_error
  // when the port cannot be had.
  int start(int port);

  // Releases held requests, stops serving and waits for the thread to end.
  // Safe to call more than once.
  void stop();

 private:
  bool holdWhileHanging();
  void answer(const httplib::Request& request, httplib::Response& response);
  static void answerNode(const nlohmann::json& tree,
                         const httplib::Request& request,
                         httplib::Response& response);

  RecorderModel& model_;
  ActivityLog& log_;
  const std::string name_;
  const int oscPort_;
  LoopbackServer listener_;
  std::mutex mutex_;
  std::condition_variable released_;
  bool stopping_ = false;

  // The whole namespace's text and the snapshot it was written from: the
  // server reads it many times a second while it waits, and it mostly has
  // not changed.
  std::mutex cacheMutex_;
  std::optional<Snapshot> cachedSnapshot_;
  std::string cachedNamespace_;
  const SavedApp saved_;
  const std::string hostInfoText_;
};

}  // namespace zindle::sim
