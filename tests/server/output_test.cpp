#include "server/output.hpp"

#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

namespace zindle::server {
namespace {

// Keeps every piece handed to it, and answers `accept`.
struct RecordingWriter {
  std::vector<std::string> pieces;
  bool accept = true;

  Writer writer() {
    return [this](std::string_view bytes) {
      pieces.emplace_back(bytes);
      return accept;
    };
  }
};

TEST(Output, sendsOneCompactLineInOneWrite) {
  RecordingWriter out;
  EXPECT_TRUE(
      send(Json{{"jsonrpc", "2.0"}, {"id", 1}, {"result", Json::object()}},
           out.writer()));
  EXPECT_EQ(out.pieces,
            std::vector<std::string>{"{\"id\":1,\"jsonrpc\":\"2.0\","
                                     "\"result\":{}}\n"});
}

TEST(Output, writesSlashesUnescaped) {
  RecordingWriter out;
  send(Json{{"text", "/Users/me/Movies/take 1.mov"}}, out.writer());
  EXPECT_EQ(out.pieces, std::vector<std::string>{
                            "{\"text\":\"/Users/me/Movies/take 1.mov\"}\n"});
}

TEST(Output, keepsBooleansAndNullAsLiterals) {
  RecordingWriter out;
  send(Json{{"isError", false}, {"done", true}, {"none", nullptr}},
       out.writer());
  EXPECT_EQ(out.pieces,
            std::vector<std::string>{"{\"done\":true,\"isError\":false,"
                                     "\"none\":null}\n"});
}

TEST(Output, keepsAMultiLineTextOnOneLine) {
  RecordingWriter out;
  send(Json{{"text", "Refused.\n{\n  \"a\": \"b\"\n}"}}, out.writer());
  EXPECT_EQ(out.pieces,
            std::vector<std::string>{"{\"text\":\"Refused.\\n{\\n  \\\"a\\\": "
                                     "\\\"b\\\"\\n}\"}\n"});
}

TEST(Output, writesNonAsciiAsUtf8) {
  RecordingWriter out;
  send(Json{{"text", "too large\u2026). Caf\u00e9"}}, out.writer());
  EXPECT_EQ(out.pieces,
            std::vector<std::string>{"{\"text\":\"too large\xe2\x80\xa6). "
                                     "Caf\xc3\xa9\"}\n"});
}

TEST(Output, dropsAMessageThatIsNotUtf8AndCountsItWritten) {
  RecordingWriter out;
  out.accept = false;
  EXPECT_TRUE(send(Json{{"text", "bad \xff byte"}}, out.writer()));
  EXPECT_TRUE(out.pieces.empty());
}

TEST(Output, reportsAWriterThatFailed) {
  RecordingWriter out;
  out.accept = false;
  EXPECT_FALSE(send(Json{{"id", 1}}, out.writer()));
  EXPECT_EQ(out.pieces, std::vector<std::string>{"{\"id\":1}\n"});
}

TEST(Output, writeAllDeliversMoreThanAPipeHoldsAtOnce) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string payload(1u << 20, 'x');
  for (std::size_t i = 0; i < payload.size(); i += 4093) payload[i] = '\n';
  std::string received;
  std::thread drain([&] {
    char buffer[4096];
    ssize_t count;
    while ((count = ::read(fds[0], buffer, sizeof buffer)) > 0) {
      received.append(buffer, static_cast<std::size_t>(count));
    }
  });
  EXPECT_TRUE(writeAll(fds[1], payload));
  ::close(fds[1]);
  drain.join();
  ::close(fds[0]);
  EXPECT_EQ(received, payload);
}

TEST(Output, writeAllReportsAReaderThatWentAway) {
  // As the server does at start-up: a closed pipe is a failed write, not a
  // fatal signal.
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[0]);
  EXPECT_FALSE(writeAll(fds[1], "{\"id\":1}\n"));
  ::close(fds[1]);
  std::signal(SIGPIPE, previous);
}

TEST(Output, writeAllReportsAnUnusableDescriptor) {
  EXPECT_FALSE(writeAll(-1, "x"));
}

TEST(Output, writeAllOfNothingSucceedsWithoutWriting) {
  EXPECT_TRUE(writeAll(-1, ""));
}

}  // namespace
}  // namespace zindle::server
