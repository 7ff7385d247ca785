#include "server/line_reader.hpp"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zindle::server {
namespace {

using Lines = std::vector<std::string>;

// The lines of at most 8 bytes read from `input` handed out `piece` bytes at
// a time; a longer line reads "<too long>". `buffers` gets where each read
// was asked to write.
Lines readLines(const std::string& input, std::size_t piece,
                std::set<char*>* buffers = nullptr) {
  std::size_t offset = 0;
  LineReader reader(
      [&](char* buffer, std::size_t size) {
        if (buffers != nullptr) buffers->insert(buffer);
        const std::size_t count =
            input.copy(buffer, std::min(size, piece), offset);
        offset += count;
        return count;
      },
      8);
  Lines lines;
  while (auto line = reader.next()) {
    lines.emplace_back(line->tooLong ? "<too long>" : line->text);
  }
  return lines;
}

TEST(LineReader, splitsLinesWhateverTheChunkBoundaries) {
  const std::string huge(50 * 8 + 3, 'x');
  const std::pair<std::string, Lines> kCases[] = {
      {"{\"a\":1}\n\nlast\n", {"{\"a\":1}", "", "last"}},
      {"one\r\n\r\n", {"one\r", "\r"}},
      {"first\nlast", {"first", "last"}},
      {"12345678\n123456789\nok\n123456789",
       {"12345678", "<too long>", "ok", "<too long>"}},
      {huge + "\r\n" + huge + "\nnext", {"<too long>", "<too long>", "next"}},
  };
  for (const auto& [input, lines] : kCases) {
    for (std::size_t piece : {1u, 2u, 3u, 5u, 13u, 64u << 10})
      EXPECT_EQ(readLines(input, piece), lines) << "pieces of " << piece;
  }
}

TEST(LineReader, keepsNothingOfALineOverTheLimit) {
  std::set<char*> buffers;
  std::string line(16 * kReadChunkBytes, 'x');
  line += '\n';
  EXPECT_EQ(readLines(line, kReadChunkBytes, &buffers), Lines{"<too long>"});
  // Every read lands where the first did: no byte of the line was kept.
  EXPECT_EQ(buffers.size(), 1u);
}

}  // namespace
}  // namespace zindle::server
