// zindle_recorder_sim: runs the simulated recorder app until SIGINT or
// SIGTERM.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include <pthread.h>

#include "sim/options.hpp"
#include "sim/simulator.hpp"
#include "sim/usage.hpp"

namespace {

constexpr int kBadCommandLine = 2;
constexpr int kCannotStart = 1;

}  // namespace

int main(int argc, char** argv) {
  using namespace zindle::sim;
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

  // The signals are blocked before any thread starts, so that every thread
  // inherits the mask and only sigwait below receives them.
  sigset_t endings;
  sigemptyset(&endings);
  sigaddset(&endings, SIGINT);
  sigaddset(&endings, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &endings, nullptr);
  // A client that goes away mid-answer must not end the process.
  std::signal(SIGPIPE, SIG_IGN);

  try {
    Simulator simulator(options, std::cerr);
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
