#pragma once

// The simulated app's OSC input: a UDP socket on 127.0.0.1 whose datagrams
// are decoded and handed to the model, one message each, on a thread of its
// own.

#include <atomic>
#include <thread>

namespace zindle::sim {

class ActivityLog;
class RecorderModel;

class OscInput {
 public:
  // `model` and `log` must outlive the input.
  OscInput(RecorderModel& model, ActivityLog& log);
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
  int socket_ = -1;
  int wake_[2] = {-1, -1};  // a pipe whose writing ends the receiving
  std::thread thread_;
};

}  // namespace zindle::sim
