#include "sim/simulator.hpp"

#include "sim/activity_log.hpp"
#include "sim/osc_input.hpp"
#include "sim/query_server.hpp"
#include "sim/recent_messages.hpp"
#include "sim/recorder_model.hpp"
#include "sim/saved_app.hpp"
#include "sim/view_server.hpp"

namespace zindle::sim {

Simulator::Simulator(const Options& options, std::ostream& log)
    : options_(options),
      log_(std::make_unique<ActivityLog>(options.verbose, log)),
      model_(std::make_unique<RecorderModel>(
          ModelConfig{options.sources, options.ndiUsable, options.appVersion,
                      options.faults, options.stateFile},
          ModelClock::system())),
      recentMessages_(std::make_unique<RecentMessages>()),
      savedApp_(std::make_unique<SavedApp>(
          readSavedApp(options.namespaceFile, options.hostInfoFile))),
      oscInput_(std::make_unique<OscInput>(*model_, *log_, *recentMessages_)) {}

Simulator::~Simulator() { stop(); }

void Simulator::start() {
  // The OSC port comes first: the query server announces it.
  oscPort_ = oscInput_->start(options_.oscPort);
  auto saved = *savedApp_;
  if (saved.hostInfoText) {
    saved.hostInfoText = hostInfoFor(*saved.hostInfoText, oscPort_);
  }
  queryServer_ = std::make_unique<QueryServer>(*model_, *log_, options_.name,
                                               oscPort_, std::move(saved));
  queryPort_ = queryServer_->start(options_.queryPort);
  if (options_.viewPort) {
    viewServer_ = std::make_unique<ViewServer>(*model_, *recentMessages_,
                                               options_.sources);
    viewPort_ = viewServer_->start(*options_.viewPort);
  }
}

void Simulator::stop() {
  if (viewServer_) viewServer_->stop();
  if (queryServer_) queryServer_->stop();
  oscInput_->stop();
}

}  // namespace zindle::sim
