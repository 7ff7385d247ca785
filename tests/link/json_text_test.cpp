#include "server/output.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zindle::server {
namespace {

// Messages go out through send(); a tool's status text is written by json().
TEST(Output, writesOneCompactLineOrAnIndentedTextWithKeysSortedAtEveryDepth) {
  std::vector<std::string> writes;
  const Writer writer = [&](std::string_view bytes) {
    writes.emplace_back(bytes);
    return true;
  };
  EXPECT_TRUE(send({{"z", {{"b", false}, {"a", "/M\u00e9 \u2026"}}},
                    {"id", 1},
                    {"text", "two\nlines"}},
                   writer));
  // Dropped, and counted as written so that the session goes on.
  EXPECT_TRUE(send({{"text", "bad \xff byte"}}, writer));
  EXPECT_EQ(writes, std::vector<std::string>{
                        "{\"id\":1,\"text\":\"two\\nlines\",\"z\":{\"a\":\"/"
                        "M\xc3\xa9 \xe2\x80\xa6\",\"b\":false}}\n"});
  EXPECT_EQ(json({{"b", {{"d", true}, {"c", "/M\u00e9"}}}, {"a", 1}}),
            "{\n  \"a\": 1,\n  \"b\": {\n    \"c\": \"/M\xc3\xa9\",\n"
            "    \"d\": true\n  }\n}");
  EXPECT_EQ(json({{"title", "\xc3"}}), "{}");
  // A reader stopping at the NUL would take the "{}" before it.
  EXPECT_EQ(parseJson(std::string_view("{}\0", 3)), std::nullopt);
}

}  // namespace
}  // namespace zindle::server
