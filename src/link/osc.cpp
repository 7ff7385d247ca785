#include "link/osc.hpp"

namespace zindle::link {

std::string encodeOscMessage(std::string_view, std::span<const OscArgument>) {
  return {};
}

void UdpSender::send(std::int64_t, std::string_view) {}

}  // namespace zindle::link
