#include "server/version.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#ifdef __APPLE__
#include <CoreFoundation/CoreFoundation.h>
#endif

#include "link/file_descriptor.hpp"
#include "link/json_text.hpp"

namespace zindle::server {
namespace {

constexpr std::string_view kDevelopmentVersion = "dev";
constexpr std::string_view kVersionKey =
    "<key>CFBundleShortVersionString</key>";
// An Info.plist is a few kilobytes; anything far larger is not one.
constexpr std::size_t kMaxPlistBytes = 1u << 20;
// Far beyond any path the system hands out for a program.
constexpr std::size_t kMaxPathBytes = 1u << 16;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool isAllowedCodePoint(std::uint32_t c) {
  // The characters XML 1.0 allows in a document.
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(std::uint32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character a reference such as "#38" or "#x26" (the text between "&"
// and ";") stands for, or nothing.
std::optional<std::uint32_t> decodeNumericReference(std::string_view name) {
  if (name.size() < 2 || name.front() != '#') return std::nullopt;
  name.remove_prefix(1);
  int base = 10;
  if (name.front() == 'x') {
    base = 16;
    name.remove_prefix(1);
  }
  if (name.empty() || name.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : name) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    value = value * static_cast<std::uint32_t>(base) +
            static_cast<std::uint32_t>(digit);
  }
  if (!isAllowedCodePoint(value)) return std::nullopt;
  return value;
}

// The text of a <string> element's content: the five predefined entities and
// character references decoded; nothing for markup or any other reference.
std::optional<std::string> decodeText(std::string_view raw) {
  std::string text;
  while (!raw.empty()) {
    const char c = raw.front();
    if (c == '<') return std::nullopt;
    if (c != '&') {
      text += c;
      raw.remove_prefix(1);
      continue;
    }
    const std::size_t semicolon = raw.find(';');
    if (semicolon == std::string_view::npos) return std::nullopt;
    const std::string_view name = raw.substr(1, semicolon - 1);
    raw.remove_prefix(semicolon + 1);
    if (name == "amp") {
      text += '&';
    } else if (name == "lt") {
      text += '<';
    } else if (name == "gt") {
      text += '>';
    } else if (name == "quot") {
      text += '"';
    } else if (name == "apos") {
      text += '\'';
    } else if (auto code = decodeNumericReference(name)) {
      appendUtf8(*code, text);
    } else {
      return std::nullopt;
    }
  }
  // The version goes out inside a JSON message, which must be valid UTF-8.
  if (!compactJson(Json(text))) return std::nullopt;
  return text;
}

// The string value that follows the version key in an XML property list.
std::optional<std::string> findVersion(std::string_view plist) {
  const std::size_t key = plist.find(kVersionKey);
  if (key == std::string_view::npos) return std::nullopt;
  std::string_view rest = plist.substr(key + kVersionKey.size());
  while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
  if (rest.starts_with("<string/>")) return std::string();
  constexpr std::string_view kOpen = "<string>";
  constexpr std::string_view kClose = "</string>";
  if (!rest.starts_with(kOpen)) return std::nullopt;
  rest.remove_prefix(kOpen.size());
  const std::size_t close = rest.find(kClose);
  if (close == std::string_view::npos) return std::nullopt;
  return decodeText(rest.substr(0, close));
}

// The contents of the regular file at `path` when it holds at most
// kMaxPlistBytes. Plain system calls rather than streams and
// std::filesystem: those bring the whole locale machinery into a program
// that starts once per session.
std::optional<std::string> readSmallFile(const std::string& path) {
  const link::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  if (file.get() < 0 || ::fstat(file.get(), &status) != 0 ||
      !S_ISREG(status.st_mode) ||
      static_cast<std::uintmax_t>(status.st_size) > kMaxPlistBytes) {
    return std::nullopt;
  }
  std::string contents(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t filled = 0;
  while (filled < contents.size()) {
    const ssize_t count =
        ::read(file.get(), contents.data() + filled, contents.size() - filled);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return std::nullopt;
    if (count == 0) break;  // the file shrank while we read it
    filled += static_cast<std::size_t>(count);
  }
  contents.resize(filled);
  return contents;
}

// What comes after the last slash of `path`, and what comes before it.
std::string_view lastName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view parentOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view()
                                         : path.substr(0, slash);
}

#ifdef __APPLE__
std::optional<std::string> mainBundleVersion() {
  CFBundleRef bundle = CFBundleGetMainBundle();
  if (bundle == nullptr) return std::nullopt;
  // Owned by the bundle: not released here.
  CFTypeRef value = CFBundleGetValueForInfoDictionaryKey(
      bundle, CFSTR("CFBundleShortVersionString"));
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) {
    return std::nullopt;
  }
  const auto string = static_cast<CFStringRef>(value);
  const CFIndex capacity =
      CFStringGetMaximumSizeForEncoding(CFStringGetLength(string),
                                        kCFStringEncodingUTF8) +
      1;
  std::string text(static_cast<std::size_t>(capacity), '\0');
  if (!CFStringGetCString(string, text.data(), capacity,
                          kCFStringEncodingUTF8)) {
    return std::nullopt;
  }
  text.resize(std::char_traits<char>::length(text.c_str()));
  return text;
}
#else
std::optional<std::string> mainBundleVersion() {
  std::string executable(256, '\0');
  for (;;) {
    const ssize_t count =
        ::readlink("/proc/self/exe", executable.data(), executable.size());
    if (count < 0) return std::nullopt;
    // A result that fills the buffer may have been cut short.
    if (static_cast<std::size_t>(count) < executable.size()) {
      executable.resize(static_cast<std::size_t>(count));
      return bundleVersion(executable);
    }
    if (executable.size() >= kMaxPathBytes) return std::nullopt;
    executable.resize(executable.size() * 2);
  }
}
#endif

}  // namespace

std::string serverVersion() {
  return mainBundleVersion().value_or(std::string(kDevelopmentVersion));
}

std::optional<std::string> bundleVersion(std::string_view executablePath) {
  const std::string_view macOS = parentOf(executablePath);
  const std::string_view contents = parentOf(macOS);
  const std::string_view bundleName = lastName(parentOf(contents));
  // "<Name>.app/Contents/MacOS/<executable>", with a name before ".app".
  if (lastName(executablePath).empty() || lastName(macOS) != "MacOS" ||
      lastName(contents) != "Contents" || bundleName.size() <= 4 ||
      !bundleName.ends_with(".app")) {
    return std::nullopt;
  }
  const std::optional<std::string> plist =
      readSmallFile(std::string(contents) + "/Info.plist");
  if (!plist) return std::nullopt;
  return findVersion(*plist);
}

}  // namespace zindle::server
