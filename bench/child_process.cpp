#include "child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __APPLE__
#include <libproc.h>
#endif

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <stdexcept>

extern char** environ;

namespace zindle::bench {

ChildProcess::ChildProcess(
    const std::vector<std::string>& argv,
    const std::vector<std::pair<std::string, std::string>>& environment) {
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe");
  for (int fd : {in[1], out[0]}) fcntl(fd, F_SETFD, FD_CLOEXEC);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, in[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    variables.emplace_back(*entry);
  }
  for (const auto& [name, value] : environment) {
    variables.push_back(name + "=" + value);  // the last one counts
  }
  std::vector<char*> args, envp;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  for (auto& variable : variables) envp.push_back(variable.data());
  args.push_back(nullptr);
  envp.push_back(nullptr);
  const int result =
      posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  in_ = in[1];
  out_ = out[0];
  if (result != 0) throw std::runtime_error("cannot start " + argv[0]);
}

ChildProcess::~ChildProcess() {
  close(in_);  // the server ends at the end of its input
  close(out_);
  for (int tries = 0; tries < 500; ++tries) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    usleep(10000);
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

bool ChildProcess::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(in_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::optional<std::string> ChildProcess::readLine(Milliseconds timeout) {
  for (;;) {
    const std::size_t newline = buffer_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      return line;
    }
    pollfd ready{out_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) {
      return std::nullopt;
    }
    char chunk[65536];
    const ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

#ifdef __APPLE__

ChildProcess::Memory ChildProcess::memory() const {
  rusage_info_v4 usage{};
  if (proc_pid_rusage(pid_, RUSAGE_INFO_V4,
                      reinterpret_cast<rusage_info_t*>(&usage)) != 0) {
    return {};
  }
  // The libraries are left uncounted: the system's come mapped whole from
  // the shared cache, so a count of them would say nothing of the call.
  return {static_cast<long>(usage.ri_lifetime_max_phys_footprint / 1024),
          static_cast<long>(usage.ri_phys_footprint / 1024)};
}

#else

ChildProcess::Memory ChildProcess::memory() const {
  std::ifstream file("/proc/" + std::to_string(pid_) + "/status");
  Memory memory;
  std::string key;
  while (file >> key) {
    long kb = 0;
    if (key == "VmHWM:" && file >> kb) memory.peakKb = kb;
    if (key == "RssAnon:" && file >> kb) memory.ownKb = kb;
    std::getline(file, key);
  }
  std::ifstream maps("/proc/" + std::to_string(pid_) + "/maps");
  std::set<std::string> libraries;
  for (std::string line; std::getline(maps, line);) {
    const std::size_t path = line.find('/');
    if (path != std::string::npos &&
        line.find(".so", path) != std::string::npos) {
      libraries.insert(line.substr(path));
    }
  }
  if (maps.eof()) memory.libraries = static_cast<long>(libraries.size());
  return memory;
}

#endif

}  // namespace zindle::bench
