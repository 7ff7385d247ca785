#include "sim/state_file.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zindle::sim {

namespace {

constexpr const char* kSettingsKey = "settings";
constexpr const char* kSourcesKey = "sources";
// As many links in a row as a path may take before the system gives up.
constexpr int kMostLinks = 40;

// The mask new files are created under. Reading it sets it, so it is read
// once, as the program loads, before any other thread could create a file.
const mode_t kCreationMask = [] {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}();

std::runtime_error failure(const std::string& what) {
  return std::runtime_error(what + ": " +
                            std::generic_category().message(errno));
}

// The file that `path` names once every link on the way is followed, so
// that a link given as the state file stays a link to the file it names.
std::filesystem::path linkTarget(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path target(path);
  for (int link = 0; link < kMostLinks; ++link) {
    std::error_code failed;  // a path that cannot be examined fails later
    if (!fs::is_symlink(fs::symlink_status(target, failed))) return target;
    const auto next = fs::read_symlink(target, failed);
    if (failed) return target;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  throw std::runtime_error("cannot replace " + path + ": too many links");
}

bool writeAll(int file, const std::string& text) {
  for (std::size_t written = 0; written < text.size();) {
    const auto wrote =
        ::write(file, text.data() + written, text.size() - written);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) return false;
    written += static_cast<std::size_t>(wrote);
  }
  return true;
}

// Replaces the file at `path` with `text` at once: written to a file of its
// own beside it, on disk before it takes the file's place, so that neither
// a reader nor another simulator saving to the same file ever meets half of
// one. The file keeps its permissions; a new one gets the usual ones.
void replaceWhole(const std::filesystem::path& path, const std::string& text) {
  auto temporary = path.string() + ".XXXXXX";
  const int file = ::mkstemp(temporary.data());
  if (file < 0) throw failure("cannot write beside " + path.string());
  struct stat existing {};
  const mode_t mode = ::stat(path.c_str(), &existing) == 0
                          ? existing.st_mode & 07777
                          : 0666 & ~kCreationMask;
  // The error is read first: removing the temporary file may replace it.
  const auto abandoned = [&temporary](const std::string& what) {
    const auto failed = failure(what);
    ::unlink(temporary.c_str());
    return failed;
  };
  if (!writeAll(file, text) || ::fchmod(file, mode) != 0 ||
      ::fsync(file) != 0) {
    const auto failed = abandoned("cannot write " + temporary);
    ::close(file);
    throw failed;
  }
  if (::close(file) != 0) throw abandoned("cannot write " + temporary);
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    throw abandoned("cannot replace " + path.string());
  }
}

}  // namespace

std::optional<StoredState> loadState(const std::string& path) {
  const auto text = readGivenFile(path);
  if (!text) return std::nullopt;
  const auto document = nlohmann::json::parse(*text, nullptr, false);
  const auto fail = [&path] {
    return std::runtime_error("the state file " + path +
                              " does not hold the simulator's state");
  };
  if (!document.is_object()) throw fail();
  StoredState state;
  if (document.contains(kSettingsKey)) {
    if (!document[kSettingsKey].is_object()) throw fail();
    state.settings = document[kSettingsKey];
  }
  if (document.contains(kSourcesKey)) {
    const auto& sources = document[kSourcesKey];
    if (!sources.is_array()) throw fail();
    for (const auto& title : sources) {
      if (!title.is_string()) throw fail();
      state.sources.push_back(title.get<std::string>());
    }
  }
  return state;
}

void saveState(const std::string& path, const Settings& settings,
               const std::vector<std::string>& sources) {
  nlohmann::json document;
  for (const auto& setting : kSettings) {
    document[kSettingsKey][std::string(setting.key)] =
        settingValue(settings, setting.key);
  }
  document[kSourcesKey] = sources;
  replaceWhole(
      linkTarget(path),
      document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
          '\n');
}

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
