#include "link/json_text.hpp"

#include <optional>

#include <gtest/gtest.h>

namespace zindle {
namespace {

// Messages go out as compact JSON; a tool's status text is written by json().
TEST(JsonText, writesCompactOrIndentedTextWithKeysSortedAtEveryDepth) {
  EXPECT_EQ(compactJson({{"z", {{"b", false}, {"a", "/M\u00e9 \u2026"}}},
                         {"id", 1},
                         {"text", "two\nlines"}}),
            "{\"id\":1,\"text\":\"two\\nlines\",\"z\":{\"a\":\"/"
            "M\xc3\xa9 \xe2\x80\xa6\",\"b\":false}}");
  // Not JSON: the message that holds it is dropped.
  EXPECT_EQ(compactJson({{"text", "bad \xff byte"}}), std::nullopt);
  EXPECT_EQ(json({{"b", {{"d", true}, {"c", "/M\u00e9"}}}, {"a", 1}}),
            "{\n  \"a\": 1,\n  \"b\": {\n    \"c\": \"/M\xc3\xa9\",\n"
            "    \"d\": true\n  }\n}");
  EXPECT_EQ(json({{"title", "\xc3"}}), "{}");
}

}  // namespace
}  // namespace zindle
