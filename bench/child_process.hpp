#pragma once
// A program the benchmarks start as an MCP client starts the server: with
// pipes on its standard input and output, spoken to one line at a time.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zindle::bench {

using Milliseconds = std::chrono::milliseconds;

class ChildProcess {
 public:
  // Starts `argv` with `environment` set over this process's environment.
  // Throws std::runtime_error when it cannot be started.
  explicit ChildProcess(
      const std::vector<std::string>& argv,
      const std::vector<std::pair<std::string, std::string>>& environment = {});
  ~ChildProcess();  // ends the child
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool write(std::string_view bytes);
  // The next line of standard output without its LF; nothing when none came
  // within `timeout` or the output ended.
  std::optional<std::string> readLine(Milliseconds timeout);

  // The memory of the running child in kilobytes, -1 where unknown: its
  // peak, and what it holds of its own (heap, stacks, written data). On
  // Linux, resident memory (VmHWM) and its anonymous part (RssAnon); on a
  // Mac, its footprint, which leaves out pages mapped unchanged from files.
  // On Linux also the shared libraries it has mapped, each file once.
  struct Memory {
    long peakKb = -1;
    long ownKb = -1;
    long libraries = -1;
  };
  Memory memory() const;

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
};

}  // namespace zindle::bench
