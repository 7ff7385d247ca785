// The tilde expansion of the folder configure sends, from $HOME or the
// password database.

#include "operations/path_expansion.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

namespace zindle::operations {
namespace {

// The password database's records are small; a buffer past this size means
// something is wrong, and the path is then left as it is.
constexpr std::size_t kMaxPasswdBuffer = 1u << 20;

// One password database lookup, growing the buffer while it is too small.
template <typename Lookup>
std::optional<std::string> homeFromPasswd(const Lookup& lookup) {
  std::vector<char> buffer(1024);
  while (buffer.size() <= kMaxPasswdBuffer) {
    passwd entry{};
    passwd* found = nullptr;
    const int error = lookup(entry, buffer, found);
    if (error == ERANGE) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || found == nullptr || found->pw_dir == nullptr) break;
    return std::string(found->pw_dir);
  }
  return std::nullopt;
}

std::optional<std::string> currentHome() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home);
  return homeFromPasswd([](passwd& entry, std::vector<char>& buffer,
                           passwd*& found) {
    return getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found);
  });
}

std::optional<std::string> homeOf(const std::string& user) {
  return homeFromPasswd(
      [&user](passwd& entry, std::vector<char>& buffer, passwd*& found) {
        return getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(),
                          &found);
      });
}

}  // namespace

std::string expandTilde(std::string_view path) {
  if (path.empty() || path.front() != '~') return std::string(path);
  const std::size_t slash = path.find('/');
  const std::string_view user =
      path.substr(1, slash == std::string_view::npos ? slash : slash - 1);
  const std::string_view rest =
      slash == std::string_view::npos ? std::string_view() : path.substr(slash);
  // A NUL would end the name early and look up somebody else.
  if (user.find('\0') != std::string_view::npos) return std::string(path);
  std::optional<std::string> home =
      user.empty() ? currentHome() : homeOf(std::string(user));
  if (!home) return std::string(path);
  // A home folder of "/" must not give "//x".
  if (!rest.empty() && !home->empty() && home->back() == '/') home->pop_back();
  return *home + std::string(rest);
}

}  // namespace zindle::operations
