#pragma once
// The one error type of the link and of the recorder operations. Callers
// branch on kind(); description() is the text the client reads.

#include <cstdint>
#include <exception>
#include <string>

namespace zindle {

class RecorderError : public std::exception {
 public:
  enum class Kind { badArguments, failed, unreachable };

  // The request itself was refused: an unknown tool, unusable arguments.
  static RecorderError badArguments(std::string message);
  // The app was reached but the operation did not come about.
  static RecorderError failed(std::string message);
  // The app was not found on the ports firstPort .. firstPort + portCount - 1,
  // or it stopped answering.
  static RecorderError unreachable(std::int64_t firstPort,
                                   std::int64_t portCount);

  Kind kind() const { return kind_; }
  // The message for badArguments and failed; for unreachable the sentence
  // that names the app, the ports tried and the environment variable.
  const std::string& description() const { return text_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  RecorderError(Kind kind, std::string text);

  Kind kind_;
  std::string text_;
};

}  // namespace zindle
