// The reading side of RecorderModel: what the app publishes at a moment,
// worked out from the settings, the slots and the recording's clock.

#include <algorithm>

#include "sim/recorder_model.hpp"

namespace zindle::sim {
namespace {

constexpr std::string_view kStateNames[] = {"idle", "recording", "finishing"};

}  // namespace

Snapshot RecorderModel::snapshot() {
  std::lock_guard lock(mutex_);
  settle();
  const double elapsed = elapsedSeconds();

  Snapshot now;
  now.version = config_.version;
  now.state = kStateNames[static_cast<int>(state_)];
  now.elapsed = elapsed;
  now.error = error_;
  now.failure = failure_;
  now.ndi = config_.ndiUsable;
  for (const auto& source : config_.sources) {
    if (!isOffered(source)) continue;
    now.offeredTitles.push_back(source.title);
    if (source.isNdi()) now.ndiTitles.push_back(source.title);
  }
  now.settings = settings_;
  for (std::size_t slot = 0; slot < slots_.size(); ++slot) {
    now.slots.push_back(slotStatus(slot, elapsed));
  }
  auto picture = assembledNow();
  now.assembled = picture.size;
  now.places = std::move(picture.places);
  if (take_) {
    now.assembledFile = take_->assembledFile;
    if (!take_->assembledFile.empty()) {
      now.assembledFrames = framesWritten(elapsed, take_->assembledRate);
    }
    if (take_->assembledSound) now.soundWritten = elapsed;
  }
  now.faults = faults_;
  return now;
}

SlotStatus RecorderModel::slotStatus(std::size_t slot, double elapsed) const {
  const auto& source = config_.sources[slots_[slot]];
  SlotStatus status;
  status.title = source.title;
  status.kind = source.kind;
  status.online = true;
  status.width = source.width;
  status.height = source.height;
  status.fps = source.fps;
  status.sound = source.sound;
  // The movie figures belong to the last recording; a slot whose source
  // has changed since then has no movie yet.
  if (take_ && slot < take_->sources.size() &&
      take_->sources[slot].title == source.title) {
    const auto& movie = take_->sources[slot];
    status.file = movie.file;
    if (!movie.file.empty()) status.frames = framesWritten(elapsed, movie.rate);
    if (movie.sound) status.soundWritten = elapsed;
  }
  return status;
}

double RecorderModel::elapsedSeconds() const {
  if (!take_) return 0;
  const auto end = state_ == State::recording ? clock_.now() : stoppedAt_;
  return std::chrono::duration<double>(end - startedAt_).count();
}

bool RecorderModel::isOffered(const Source& source) const {
  return config_.ndiUsable || !source.isNdi();
}

std::vector<Source> RecorderModel::chosenSources() const {
  std::vector<Source> chosen;
  for (const auto index : slots_) chosen.push_back(config_.sources[index]);
  return chosen;
}

std::vector<std::string> RecorderModel::chosenTitles() const {
  std::vector<std::string> titles;
  for (const auto index : slots_)
    titles.push_back(config_.sources[index].title);
  return titles;
}

AssembledPicture RecorderModel::assembledNow() const {
  std::vector<PictureSize> sizes;
  for (const auto index : slots_) {
    const auto& source = config_.sources[index];
    sizes.push_back({source.width, source.height});
  }
  return assembledPicture(sizes, settings_.layout, settings_.gap,
                          settings_.width, settings_.height);
}

}  // namespace zindle::sim
