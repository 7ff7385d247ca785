#pragma once

// The whole simulated app, wired together: the model, its OSC input and its
// OSCQuery server. Tests run it in-process on free ports; main() runs one
// until a signal arrives.

#include <iosfwd>
#include <memory>

#include "sim/options.hpp"

namespace zindle::sim {

class ActivityLog;
class OscInput;
class QueryServer;
class RecorderModel;

class Simulator {
 public:
  // Builds the app from `options`, reading its state file if one is given.
  // `log` receives the --verbose lines and must outlive the simulator.
  // Throws std::runtime_error when the state file cannot be read.
  Simulator(const Options& options, std::ostream& log);
  ~Simulator();

  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Binds both ports and starts serving. Throws std::runtime_error when a
  // port cannot be had.
  void start();

  // Stops serving; held requests are released. Safe to call more than once.
  void stop();

  int queryPort() const { return queryPort_; }
  int oscPort() const { return oscPort_; }

 private:
  const Options options_;
  std::unique_ptr<ActivityLog> log_;
  std::unique_ptr<RecorderModel> model_;
  std::unique_ptr<OscInput> oscInput_;
  std::unique_ptr<QueryServer> queryServer_;
  int queryPort_ = 0;
  int oscPort_ = 0;
};

}  // namespace zindle::sim
