#pragma once
// A program started by a test, with pipes on its standard streams, the way an
// MCP client starts the server.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zindle::testing {

using Milliseconds = std::chrono::milliseconds;

struct EnvChange {
  std::string name;
  std::optional<std::string> value;  // nothing: remove the variable
};

// How the child's standard input and output are handed over: pipes by
// default, as a client hands them; either may be non-blocking, and the
// output may be left closed.
struct Stdio {
  bool nonBlockingInput = false;
  bool nonBlockingOutput = false;
  bool noOutput = false;
};

class ChildProcess {
 public:
  // Starts `argv` with this process's environment changed by `env`.
  // Throws std::runtime_error when the program cannot be started.
  ChildProcess(const std::vector<std::string>& argv,
               const std::vector<EnvChange>& env = {}, Stdio stdio = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Writes to the child's standard input; false when the pipe is closed.
  bool write(std::string_view bytes);
  void closeInput();
  void closeOutput();  // the reading end of the child's standard output

  // The next line of standard output without its LF, or nothing when none
  // came within `timeout` (or the output ended).
  std::optional<std::string> readLine(Milliseconds timeout);
  // Everything left on standard output until it closes or `timeout` passes.
  std::string readRest(Milliseconds timeout);
  // What the child wrote to standard error so far.
  std::string errorText();

  // The exit status, or nothing if the child is still running after
  // `timeout`. A child ended by a signal gives 128 + the signal.
  std::optional<int> wait(Milliseconds timeout);
  void kill(int signal);
  pid_t pid() const { return pid_; }

  // The memory of the running child, in kilobytes, -1 where unknown: its
  // peak, what it holds of its own (heap, stacks, written data), and all it
  // has resident. On Linux the peak is resident memory (VmHWM) and its own
  // is the anonymous part (RssAnon); on a Mac both are its footprint, which
  // leaves out pages mapped unchanged from files.
  struct Memory {
    long peakKb = -1;
    long ownKb = -1;
    long residentKb = -1;
  };
  Memory memory() const;

 private:
  bool fill(Milliseconds timeout);
  void drainErrors();

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string outBuffer_;
  std::string errBuffer_;
  std::optional<int> status_;
};

}  // namespace zindle::testing
