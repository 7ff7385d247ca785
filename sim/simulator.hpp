#pragma once

// The whole simulated app, wired together: the model, its OSC input, its
// OSCQuery server and, when asked for, its window. Tests run it in-process
// on free ports; main() runs one until a signal arrives.

#include <iosfwd>
#include <memory>

#include "sim/options.hpp"

namespace zindle::sim {

class ActivityLog;
class OscInput;
class QueryServer;
class RecentMessages;
class RecorderModel;
class ViewServer;
struct SavedApp;

class Simulator {
 public:
  // Builds the app from `options`, reading every file they give (the state
  // file, a saved app's): nothing is read after this. `log` receives the
  // --verbose lines and must outlive the simulator. Throws
  // std::runtime_error when a file cannot be read or used.
  Simulator(const Options& options, std::ostream& log);
  ~Simulator();

  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Binds the ports (the window's too, when asked for) and starts serving.
  // Throws std::runtime_error when a port cannot be had.
  void start();

  // Stops serving; held requests are released. Safe to call more than once.
  void stop();

  int queryPort() const { return queryPort_; }
  int oscPort() const { return oscPort_; }
  int viewPort() const { return viewPort_; }  // 0: no window

 private:
  const Options options_;
  std::unique_ptr<ActivityLog> log_;
  std::unique_ptr<RecorderModel> model_;
  std::unique_ptr<RecentMessages> recentMessages_;
  std::unique_ptr<SavedApp> savedApp_;
  std::unique_ptr<OscInput> oscInput_;
  std::unique_ptr<QueryServer> queryServer_;
  std::unique_ptr<ViewServer> viewServer_;
  int queryPort_ = 0;
  int oscPort_ = 0;
  int viewPort_ = 0;
};

}  // namespace zindle::sim
