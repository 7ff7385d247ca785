#include "sim/recent_messages.hpp"

namespace zindle::sim {
namespace {

// `text` cut to its first kKeptBytes, never inside a character.
void shorten(std::string& text) {
  if (text.size() <= RecentMessages::kKeptBytes) return;
  auto end = RecentMessages::kKeptBytes;
  // Back over the continuation bytes of a character the cut would split.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  text.resize(end);
  text += "\u2026";
}

}  // namespace

void RecentMessages::add(OscMessage message) {
  shorten(message.address);
  if (message.arguments.size() > kKeptArguments) {
    message.arguments.resize(kKeptArguments);
  }
  for (auto& argument : message.arguments) {
    if (auto* text = std::get_if<std::string>(&argument.value)) shorten(*text);
  }
  std::lock_guard lock(mutex_);
  kept_.push_back(
      {++received_, std::chrono::system_clock::now(), std::move(message)});
  if (kept_.size() > kKept) kept_.pop_front();
}

std::vector<ReceivedMessage> RecentMessages::newestFirst() const {
  std::lock_guard lock(mutex_);
  return {kept_.rbegin(), kept_.rend()};
}

}  // namespace zindle::sim
