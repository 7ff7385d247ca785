#include "sim/given_file.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zindle::sim {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  ~Descriptor() { ::close(descriptor_); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

std::string lastError() { return std::generic_category().message(errno); }

}  // namespace

std::optional<std::string> readGivenFile(const std::string& path) {
  const auto refused = [&path](const std::string& why) {
    return std::runtime_error("cannot read \"" + path + "\": " + why);
  };
  const auto tooLarge = [&refused] {
    return refused("it holds more than " +
                   std::to_string(kLargestGivenFile / (1024 * 1024)) + " MiB");
  };
  // Opened without waiting: a FIFO (as "<(...)" gives) would otherwise hold
  // the open until a writer comes, and is refused below instead.
  const int opened = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (opened < 0) {
    if (errno == ENOENT) return std::nullopt;
    throw refused(lastError());
  }
  const Descriptor file(opened);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) throw refused(lastError());
  if (!S_ISREG(status.st_mode)) throw refused("it is not a regular file");
  if (static_cast<std::uintmax_t>(status.st_size) > kLargestGivenFile) {
    throw tooLarge();
  }
  // The size is checked again as the bytes come: the file may grow.
  std::string text;
  std::array<char, 65536> chunk{};
  for (;;) {
    const auto wanted =
        std::min(chunk.size(), kLargestGivenFile + 1 - text.size());
    const auto got = ::read(file.get(), chunk.data(), wanted);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw refused(lastError());
    if (got == 0) return text;
    text.append(chunk.data(), static_cast<std::size_t>(got));
    if (text.size() > kLargestGivenFile) throw tooLarge();
  }
}

}  // namespace zindle::sim
