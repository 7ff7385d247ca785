#pragma once

// The simulated app's OSC input: a UDP socket on 127.0.0.1 whose datagrams
// are decoded and handed to the model, one message each, on a thread of its
// own.

#include <atomic>
#include <thread>

namespace zindle::sim {

class ActivityLog;
class RecentMessages;
class RecorderModel;

class OscInput {
 public:
  // `model`, `log` and `recent` must outlive the input; each message is
  // kept in `recent` before the model acts on it, so that whoever sees its
  // effect sees it listed.
  OscInput(RecorderModel& model, ActivityLog& log, RecentMessages& recent);
  ~OscInput();

  OscInput(const OscInput&) = delete;
  OscInput& operator=(const OscInput&) = delete;

  // Binds 127.0.0.1:`port` (0: any free port) and starts receiving. Returns
  // the port bound. Throws std::runtime_error when the port cannot be had.
  int start(int port);

  // Stops receiving and closes the socket; waits for the thread to end.
  // Safe to call more than once.
  void stop();

 private:
  void receive();

  RecorderModel& model_;
  ActivityLog& log_;
  RecentMessages& recent_;
  int socket_ = -1;
  int wake_[2] = {-1, -1};  // a pipe whose writing ends the receiving
  std::thread thread_;
};

}  // namespace zindle::sim
