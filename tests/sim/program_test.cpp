// The zindle_recorder_sim program itself, run as the demo and users run it.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <lo/lo.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

// A child process of the simulator, its stdout and stderr on pipes.
class Program {
 public:
  explicit Program(const std::vector<std::string>& arguments) {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    std::vector<std::string> words{ZINDLE_SIM_BINARY};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) !=
        0) {
      throw std::runtime_error("cannot start " + words[0]);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }

  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(out_);
    close(err_);
  }

  // The first line on stdout, or what came before `limit` passed.
  std::string readLine(std::chrono::milliseconds limit) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char c = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd watched{out_, POLLIN, 0};
      if (poll(&watched, 1, 20) <= 0) continue;
      if (read(out_, &c, 1) != 1 || c == '\n') break;
      line += c;
    }
    return line;
  }

  // Waits for the end; returns the exit status (-1 when killed by a signal)
  // and leaves what remained on stdout and stderr in out() and err().
  int wait() {
    out_text_ += drain(out_);
    err_text_ += drain(err_);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  pid_t pid() const { return pid_; }
  const std::string& out() const { return out_text_; }
  const std::string& err() const { return err_text_; }

 private:
  static std::string drain(int descriptor) {
    std::string text;
    char buffer[4096];
    for (;;) {
      const auto size = read(descriptor, buffer, sizeof buffer);
      if (size <= 0) return text;
      text.append(buffer, static_cast<std::size_t>(size));
    }
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string out_text_;
  std::string err_text_;
};

TEST(SimProgram, explainsEveryOptionInItsHelp) {
  Program help({"--help"});
  ASSERT_EQ(help.wait(), 0);
  for (const auto* word : {"--port",
                           "--osc-port",
                           "--name",
                           "--app-version",
                           "--source",
                           "--no-ndi",
                           "--state",
                           "--verbose",
                           "--refuse",
                           "--fail-start",
                           "--never-record",
                           "--finish-seconds",
                           "--fail-recording",
                           "--http-fault",
                           "/sim/refuse",
                           "/sim/fail_start",
                           "/sim/never_record",
                           "/sim/finish_seconds",
                           "/sim/fail_recording",
                           "/sim/http_fault",
                           "/sim/reset",
                           "no movie file",
                           "zindle_recorder_sim ready"}) {
    EXPECT_NE(help.out().find(word), std::string::npos) << word;
  }
  EXPECT_EQ(help.err(), "");
}

TEST(SimProgram, endsWithStatusTwoOnABadCommandLine) {
  Program wrong({"--port", "http"});
  EXPECT_EQ(wrong.wait(), 2);
  EXPECT_EQ(wrong.out(), "");
  EXPECT_EQ(wrong.err(),
            "zindle_recorder_sim: --port takes a port from 0 to 65535, not "
            "\"http\"\nTry 'zindle_recorder_sim --help'.\n");
}

TEST(SimProgram, announcesItsPortsLogsWhatArrivesAndEndsOnSigterm) {
  Program sim({"--port", "0", "--verbose"});
  const auto line = sim.readLine(5s);
  std::smatch ports;
  ASSERT_TRUE(std::regex_match(
      line, ports,
      std::regex("zindle_recorder_sim ready: query port (\\d+), osc port "
                 "(\\d+)")))
      << line;
  const int queryPort = std::stoi(ports[1]);
  const auto oscPort = ports[2].str();

  lo_address target = lo_address_new("127.0.0.1", oscPort.c_str());
  lo_send(target, "/fps", "f", 30.0f);
  lo_address_free(target);
  httplib::Client client("127.0.0.1", queryPort);
  const auto deadline = std::chrono::steady_clock::now() + 1s;
  std::string fps;
  while (fps != R"({"VALUE":[30.0]})" &&
         std::chrono::steady_clock::now() < deadline) {
    const auto answer = client.Get("/fps?VALUE");
    if (answer) fps = answer->body;
  }
  EXPECT_EQ(fps, R"({"VALUE":[30.0]})");

  ASSERT_EQ(kill(sim.pid(), SIGTERM), 0);
  EXPECT_EQ(sim.wait(), 0);
  EXPECT_EQ(sim.out(), "");  // nothing after the ready line
  EXPECT_NE(sim.err().find("osc /fps ,f 30\n"), std::string::npos) << sim.err();
  EXPECT_NE(sim.err().find("http GET /fps?VALUE\n"), std::string::npos);
}

}  // namespace
