#include "server/line_reader.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

namespace zindle::server {
namespace {

constexpr std::string_view kTooLong = "<too long>";

// Hands out `input` in pieces of the given sizes, taken in turn.
class ChunkedInput {
 public:
  ChunkedInput(std::string input, std::vector<std::size_t> sizes)
      : input_(std::move(input)), sizes_(std::move(sizes)) {}

  std::size_t operator()(char* buffer, std::size_t size) {
    ++calls;
    std::size_t count = std::min(
        {size, input_.size() - offset_, sizes_[turn_++ % sizes_.size()]});
    std::memcpy(buffer, input_.data() + offset_, count);
    offset_ += count;
    return count;
  }

  int calls = 0;

 private:
  std::string input_;
  std::vector<std::size_t> sizes_;
  std::size_t offset_ = 0;
  std::size_t turn_ = 0;
};

std::vector<std::string> readLines(std::string input,
                                   std::vector<std::size_t> sizes,
                                   std::size_t maxLine = kMaxLineBytes) {
  ChunkedInput source(std::move(input), std::move(sizes));
  LineReader reader(std::ref(source), maxLine);
  std::vector<std::string> lines;
  while (auto line = reader.next()) {
    lines.emplace_back(line->tooLong ? kTooLong : line->text);
  }
  return lines;
}

const std::vector<std::vector<std::size_t>> kChunkings = {
    {1}, {2}, {3}, {5, 1, 7}, {13}, {kReadChunkBytes}};

using Lines = std::vector<std::string>;

TEST(LineReader, splitsAtLineFeedsWhateverTheChunkSizes) {
  for (const auto& sizes : kChunkings) {
    EXPECT_EQ(readLines("{\"a\":1}\nsecond\n\nlast\n", sizes),
              (Lines{"{\"a\":1}", "second", "", "last"}));
  }
}

TEST(LineReader, keepsTheCarriageReturnBeforeTheLineFeed) {
  for (const auto& sizes : kChunkings) {
    EXPECT_EQ(readLines("one\r\ntwo\r\n\r\n", sizes),
              (Lines{"one\r", "two\r", "\r"}));
  }
}

TEST(LineReader, returnsALastLineWithoutLineFeed) {
  for (const auto& sizes : kChunkings) {
    EXPECT_EQ(readLines("first\nlast", sizes), (Lines{"first", "last"}));
  }
}

TEST(LineReader, givesNothingForEmptyInput) {
  EXPECT_EQ(readLines("", {kReadChunkBytes}), Lines{});
}

TEST(LineReader, keepsNulAndNonAsciiBytesInTheLine) {
  const std::string line("a\0b\xff\xe2\x80\xa6", 6);
  EXPECT_EQ(readLines(line + "\n", {2}), Lines{line});
}

TEST(LineReader, staysAtTheEndWithoutReadingAgain) {
  ChunkedInput source("x\n", {kReadChunkBytes});
  LineReader reader(std::ref(source));
  ASSERT_TRUE(reader.next());
  EXPECT_FALSE(reader.next());
  const int calls = source.calls;
  EXPECT_FALSE(reader.next());
  EXPECT_FALSE(reader.next());
  EXPECT_EQ(source.calls, calls);
}

TEST(LineReader, readsInLargeChunks) {
  std::string input;
  while (input.size() < 3 * kReadChunkBytes) input += "{\"id\":1}\n";
  ChunkedInput source(input, {kReadChunkBytes});
  LineReader reader(std::ref(source));
  while (reader.next()) {
  }
  // Four reads bring the bytes in and a fifth finds the end.
  EXPECT_EQ(source.calls, 5);
}

TEST(LineReader, acceptsALineOfExactlyTheLimit) {
  for (const auto& sizes : kChunkings) {
    EXPECT_EQ(readLines("12345678\nnext\n", sizes, 8),
              (Lines{"12345678", "next"}));
  }
}

TEST(LineReader, reportsALineOverTheLimitAndGoesOn) {
  for (const auto& sizes : kChunkings) {
    EXPECT_EQ(readLines("ok\n123456789\nnext\n", sizes, 8),
              (Lines{"ok", std::string(kTooLong), "next"}));
  }
}

TEST(LineReader, reportsALineManyTimesTheLimitOnce) {
  const std::string huge(50 * 8 + 3, 'x');
  for (const auto& sizes : kChunkings) {
    EXPECT_EQ(readLines(huge + "\r\n" + huge + "\nnext", sizes, 8),
              (Lines{std::string(kTooLong), std::string(kTooLong), "next"}));
  }
}

TEST(LineReader, reportsAnOverlongLastLineWithoutLineFeed) {
  for (const auto& sizes : kChunkings) {
    EXPECT_EQ(readLines("ok\n123456789", sizes, 8),
              (Lines{"ok", std::string(kTooLong)}));
  }
}

TEST(LineReader, dropsALineOverSixteenMebibytes) {
  const std::string huge(kMaxLineBytes + 1, '[');
  EXPECT_EQ(readLines(huge + "\n" + "{}\n", {kReadChunkBytes}),
            (Lines{std::string(kTooLong), "{}"}));
}

TEST(LineReader, losesNoByteWhenAReadThrows) {
  ChunkedInput source("one\ntwo\n", {3});
  bool thrown = false;
  LineReader reader([&](char* buffer, std::size_t size) -> std::size_t {
    if (source.calls == 1 && !thrown) {
      thrown = true;
      throw std::runtime_error("interrupted");
    }
    return source(buffer, size);
  });
  EXPECT_THROW(reader.next(), std::runtime_error);
  Lines lines;
  while (auto line = reader.next()) lines.emplace_back(line->text);
  EXPECT_EQ(lines, (Lines{"one", "two"}));
}

TEST(LineReader, readFromGivesTheBytesOfADescriptorThenZero) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], "abc", 3), 3);
  ::close(fds[1]);
  char buffer[8];
  EXPECT_EQ(readFrom(fds[0], buffer, sizeof buffer), 3u);
  EXPECT_EQ(std::string_view(buffer, 3), "abc");
  EXPECT_EQ(readFrom(fds[0], buffer, sizeof buffer), 0u);
  ::close(fds[0]);
}

TEST(LineReader, readFromTreatsAnUnusableDescriptorAsTheEnd) {
  char buffer[8];
  EXPECT_EQ(readFrom(-1, buffer, sizeof buffer), 0u);
}

}  // namespace
}  // namespace zindle::server
