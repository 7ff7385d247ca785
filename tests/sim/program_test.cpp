// The zindle_recorder_sim program itself: its help, its refusal of a bad
// command line, its ready line and its end on SIGTERM.

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <regex>

#include <gtest/gtest.h>

#include "sim/usage.hpp"

namespace zindle::sim {
namespace {

using Ended = std::pair<int, std::string>;

// Runs the program through the shell with `arguments` (redirections
// included) and, when `stopWhenReady`, sends it SIGTERM once it has written a
// line. Returns the exit status (-1 after a signal) and all of its stdout.
Ended run(const std::string& arguments, bool stopWhenReady = false) {
  // The shell writes its own id, then becomes the program.
  FILE* out = popen(
      ("echo $$; exec '" ZINDLE_SIM_BINARY "' " + arguments).c_str(), "r");
  char line[32] = "";
  const pid_t pid = std::fgets(line, sizeof line, out) ? std::atoi(line) : 0;
  std::string text;
  for (int c = 0; (c = std::fgetc(out)) != EOF;) {
    text += static_cast<char>(c);
    if (c == '\n' && stopWhenReady && pid > 0) kill(pid, SIGTERM);
  }
  const int status = pclose(out);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

TEST(SimProgram, printsItsHelpOrEndsWithStatusTwoOnABadCommandLine) {
  EXPECT_EQ(run("--help 2>&1"), Ended(0, usageText()));
  EXPECT_EQ(run("--help 2>/dev/null"), Ended(0, usageText()));
  EXPECT_EQ(run("--port http 2>&1 >/dev/null"),
            Ended(2,
                  "zindle_recorder_sim: --port takes a port from 0 to 65535, "
                  "not \"http\"\nTry 'zindle_recorder_sim --help'.\n"));
}

TEST(SimProgram, announcesItsPortsAndEndsWithStatusZeroOnSigterm) {
  const auto [status, out] = run("--port 0 2>&1", true);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(std::regex_match(
      out, std::regex("zindle_recorder_sim ready: query port [1-9][0-9]*, "
                      "osc port [1-9][0-9]*\n")))
      << out;
}

}  // namespace
}  // namespace zindle::sim
