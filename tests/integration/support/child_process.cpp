#include "support/child_process.hpp"

#include <fcntl.h>
#ifdef __APPLE__
#include <libproc.h>
#endif
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace zindle::testing {
namespace {

using Clock = std::chrono::steady_clock;

void makePipe(int fds[2]) {
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  // Only the ends dup'ed onto the child's standard streams may survive exec.
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  fcntl(fds[1], F_SETFD, FD_CLOEXEC);
}

std::vector<std::string> environmentWith(const std::vector<EnvChange>& env) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    std::string_view text(*entry);
    auto equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    variables[std::string(text.substr(0, equals))] =
        std::string(text.substr(equals + 1));
  }
  for (const auto& change : env) {
    if (change.value) {
      variables[change.name] = *change.value;
    } else {
      variables.erase(change.name);
    }
  }
  std::vector<std::string> result;
  for (const auto& [name, value] : variables)
    result.push_back(name + "=" + value);
  return result;
}

int msLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<EnvChange>& env, Stdio stdio) {
  int in[2], out[2], err[2];
  makePipe(in);
  makePipe(out);
  makePipe(err);
  // The flag belongs to the open pipe, which the child's descriptor shares.
  if (stdio.nonBlockingInput) fcntl(in[0], F_SETFL, O_NONBLOCK);
  if (stdio.nonBlockingOutput) fcntl(out[1], F_SETFL, O_NONBLOCK);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  if (stdio.noOutput) {
    posix_spawn_file_actions_addclose(&actions, 1);
  } else {
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  }
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);

  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  auto variables = environmentWith(env);
  std::vector<char*> envp;
  for (auto& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);

  int result =
      posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
  if (result != 0) {
    close(in_);
    close(out_);
    close(err_);
    throw std::runtime_error("cannot start " + argv[0] + ": " +
                             std::strerror(result));
  }
  // A test may write to a child that has already ended.
  signal(SIGPIPE, SIG_IGN);
}

ChildProcess::~ChildProcess() {
  if (!status_) {
    ::kill(pid_, SIGKILL);
    wait(Milliseconds(5000));
  }
  for (int fd : {in_, out_, err_}) {
    if (fd >= 0) close(fd);
  }
}

bool ChildProcess::write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(in_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void ChildProcess::closeInput() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

void ChildProcess::closeOutput() {
  if (out_ >= 0) close(out_);
  out_ = -1;
}

bool ChildProcess::fill(Milliseconds timeout) {
  if (out_ < 0) return false;
  pollfd fd{out_, POLLIN, 0};
  int ready = poll(&fd, 1, static_cast<int>(timeout.count()));
  if (ready <= 0) return false;
  char chunk[65536];
  ssize_t n = read(out_, chunk, sizeof chunk);
  if (n <= 0) {
    closeOutput();
    return false;
  }
  outBuffer_.append(chunk, static_cast<std::size_t>(n));
  return true;
}

std::optional<std::string> ChildProcess::readLine(Milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    auto newline = outBuffer_.find('\n');
    if (newline != std::string::npos) {
      std::string line = outBuffer_.substr(0, newline);
      outBuffer_.erase(0, newline + 1);
      return line;
    }
    if (!fill(Milliseconds(msLeft(deadline)))) {
      if (out_ < 0 || Clock::now() >= deadline) return std::nullopt;
    }
  }
}

std::string ChildProcess::readRest(Milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  while (out_ >= 0 && Clock::now() < deadline) {
    fill(Milliseconds(msLeft(deadline)));
  }
  return std::exchange(outBuffer_, {});
}

void ChildProcess::drainErrors() {
  if (err_ < 0) return;
  for (;;) {
    pollfd fd{err_, POLLIN, 0};
    if (poll(&fd, 1, 0) <= 0) return;
    char chunk[4096];
    ssize_t n = read(err_, chunk, sizeof chunk);
    if (n <= 0) {
      close(err_);
      err_ = -1;
      return;
    }
    errBuffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::string ChildProcess::errorText() {
  drainErrors();
  return errBuffer_;
}

std::optional<int> ChildProcess::wait(Milliseconds timeout) {
  if (status_) return status_;
  auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      status_ =
          WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      drainErrors();
      return status_;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    drainErrors();
    std::this_thread::sleep_for(Milliseconds(2));
  }
}

void ChildProcess::kill(int signal) {
  if (!status_) ::kill(pid_, signal);
}

#ifdef __APPLE__

// The kernel's own accounting: peak and present footprint (the memory the
// process itself dirtied) and resident pages.
ChildProcess::Memory ChildProcess::memory() const {
  rusage_info_v4 usage{};
  if (proc_pid_rusage(pid_, RUSAGE_INFO_V4,
                      reinterpret_cast<rusage_info_t*>(&usage)) != 0) {
    return {};
  }
  return {static_cast<long>(usage.ri_lifetime_max_phys_footprint / 1024),
          static_cast<long>(usage.ri_phys_footprint / 1024),
          static_cast<long>(usage.ri_resident_size / 1024)};
}

#else

// Peak resident (VmHWM), anonymous resident (RssAnon) and resident (VmRSS)
// from /proc/<pid>/status.
ChildProcess::Memory ChildProcess::memory() const {
  std::ifstream file("/proc/" + std::to_string(pid_) + "/status");
  Memory memory;
  std::string key;
  while (file >> key) {
    long kb = 0;
    if (key == "VmHWM:" && file >> kb) memory.peakKb = kb;
    if (key == "RssAnon:" && file >> kb) memory.ownKb = kb;
    if (key == "VmRSS:" && file >> kb) memory.residentKb = kb;
    std::getline(file, key);
  }
  return memory;
}

#endif

}  // namespace zindle::testing
