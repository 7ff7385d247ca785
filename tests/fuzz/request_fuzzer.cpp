// Bytes on standard input, through the whole request loop, with tool calls
// answered by an app whose namespace is made of the same bytes. Whatever
// arrives, every answer must be one line of JSON, and nothing may crash,
// hang or leak. The first line is read as a request too, both ways.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "link/http_reader.hpp"
#include "link/json_reader.hpp"
#include "link/recorder.hpp"
#include "server/dispatch.hpp"
#include "server/request_handler.hpp"
#include "support/differential.hpp"
#include "support/fakes.hpp"

using namespace zindle;

namespace {

// An app that announces itself and answers every namespace read with the
// same bytes, as they are.
class AppOfBytes final : public link::HttpReader {
 public:
  explicit AppOfBytes(std::string_view tree) : tree_(tree) {}
  std::optional<std::string_view> get(std::int64_t, std::string_view path,
                                      std::chrono::milliseconds) override {
    if (path == "/?HOST_INFO") {
      return R"({"NAME": "ZindleRecorder", "OSC_PORT": 9000})";
    }
    return tree_;
  }

 private:
  std::string_view tree_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The first line is the app's namespace, the rest the standard input.
  const std::size_t newline = std::min(bytes.find('\n'), bytes.size());
  const std::string_view tree = bytes.substr(0, newline);
  const std::string_view input = bytes.substr(std::min(newline + 1, size));
  if (!testing::readsRequestAsAWhole(tree)) std::abort();

  // The app answers every read with that namespace, so it never leaves the
  // state the fuzzer gave it.
  AppOfBytes reader(tree);
  testing::RecordingSender sender;
  testing::FakeClock clock;
  link::Services services{reader, sender, clock};
  server::ToolCaller callTool = [&](std::string_view name,
                                    const Json& arguments) {
    return server::callTool(services, name, arguments);
  };

  // The input comes in uneven pieces, as from a pipe.
  std::size_t offset = 0;
  auto readSome = [&](char* buffer, std::size_t capacity) {
    std::size_t piece = std::min({capacity, input.size() - offset,
                                  static_cast<std::size_t>(1 + offset % 97)});
    std::copy_n(input.data() + offset, piece, buffer);
    offset += piece;
    return piece;
  };
  auto write = [](std::string_view line) {
    if (line.empty() || line.back() != '\n' ||
        line.find('\n') != line.size() - 1 ||
        !link::parseJson(line.substr(0, line.size() - 1))) {
      std::abort();
    }
    return true;
  };
  server::serve(readSome, write, callTool);
  return 0;
}
