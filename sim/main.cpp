// zindle_recorder_sim: runs the simulated recorder app until SIGINT or
// SIGTERM.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include <pthread.h>
#include <unistd.h>

#include "sim/options.hpp"
#include "sim/simulator.hpp"

namespace {

constexpr int kBadCommandLine = 2;
constexpr int kCannotStart = 1;

// Until the simulator serves there is nothing to stop: an ending signal
// ends the process there and then, with the status it would have later.
void endAtOnce(int) { _exit(0); }

}  // namespace

int main(int argc, char** argv) {
  using namespace zindle::sim;
  std::signal(SIGINT, endAtOnce);
  std::signal(SIGTERM, endAtOnce);
  Options options;
  try {
    options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const OptionsError& wrong) {
    std::cerr << "zindle_recorder_sim: " << wrong.what()
              << "\nTry 'zindle_recorder_sim --help'.\n";
    return kBadCommandLine;
  }
  if (options.help) {
    std::cout << usageText() << std::flush;
    return 0;
  }

  // A client that goes away mid-answer must not end the process.
  std::signal(SIGPIPE, SIG_IGN);

  try {
    // The files are read here, while a signal still ends the process.
    Simulator simulator(options, std::cerr);
    // Then the signals are blocked before any thread starts, so that every
    // thread inherits the mask and only sigwait below receives them; one
    // that comes during the rest of start-up waits there for it.
    sigset_t endings;
    sigemptyset(&endings);
    sigaddset(&endings, SIGINT);
    sigaddset(&endings, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &endings, nullptr);
    simulator.start();
    std::cout << "zindle_recorder_sim ready: query port "
              << simulator.queryPort() << ", osc port " << simulator.oscPort();
    if (simulator.viewPort() != 0) {
      std::cout << ", view http://127.0.0.1:" << simulator.viewPort() << "/";
    }
    std::cout << std::endl;
    int received = 0;
    sigwait(&endings, &received);
    simulator.stop();
  } catch (const std::exception& failed) {
    std::cerr << "zindle_recorder_sim: " << failed.what() << '\n';
    return kCannotStart;
  }
  return 0;
}
