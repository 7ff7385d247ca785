#include "link/json_text.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

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
  // A reader stopping at the NUL would take the "{}" before it.
  EXPECT_EQ(parseJson(std::string_view("{}\0", 3)), std::nullopt);
}

// The reader matches nlohmann's parser (the json fuzzer holds it to that);
// these are the cases where the two could most easily part.
TEST(JsonText, readsWhatTheStandardAllowsToTheSameValues) {
  const std::pair<std::string, std::optional<Json>> kCases[] = {
      {"\xEF\xBB\xBF {\"a\" : [ ] } ", Json{{"a", Json::array()}}},
      {R"({"a":1,"b":2,"a":3})", Json{{"a", 3}, {"b", 2}}},
      {"[18446744073709551615]", Json::array({UINT64_MAX})},
      {"[18446744073709551616]", Json::array({18446744073709551616.0})},
      {"[-9223372036854775808]", Json::array({INT64_MIN})},
      {"[-9223372036854775809]", Json::array({-9223372036854775809.0})},
      {"[-0,1e-400,2.5E+3]", Json::array({0, 0.0, 2500.0})},
      {R"(["\ud83c\udfa5\u00e9\/\u0000"])",
       Json::array({std::string("\U0001F3A5\u00e9/\0", 8)})},
      {"[\"\xf4\x8f\xbf\xbf\"]", Json::array({"\U0010FFFF"})},
      {"", std::nullopt},
      {"1", std::nullopt},
      {"{}x", std::nullopt},
      {"[1e400]", std::nullopt},
      {"[01]", std::nullopt},
      {"[1.]", std::nullopt},
      {"[.5]", std::nullopt},
      {"[+1]", std::nullopt},
      {"[tru]", std::nullopt},
      {"[1,]", std::nullopt},
      {R"(["\udc00"])", std::nullopt},
      {R"(["\ud800x"])", std::nullopt},
      {R"(["\x"])", std::nullopt},
      {"[\"\x01\"]", std::nullopt},
      {"[\"\xc0\xaf\"]", std::nullopt},
      {"[\"\xed\xa0\x80\"]", std::nullopt},
      {"[\"\xf4\x90\x80\x80\"]", std::nullopt},
      {"[\"\xe2\x82\"]", std::nullopt},
  };
  for (const auto& [text, expected] : kCases) {
    const std::optional<Json> read = parseJson(text);
    EXPECT_EQ(read, expected) << text;
    // Equal values of another type would pass the comparison above.
    if (read && expected) {
      EXPECT_EQ(read->dump(), expected->dump()) << text;
    }
  }
  EXPECT_TRUE(parseJson("[-1]")->at(0).is_number_integer());
  EXPECT_TRUE(parseJson("[1]")->at(0).is_number_unsigned());
  EXPECT_TRUE(parseJson("[1e2]")->at(0).is_number_float());
  const auto nested = [](std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
  };
  EXPECT_TRUE(parseJson(nested(kMaxJsonDepth)));
  EXPECT_FALSE(parseJson(nested(kMaxJsonDepth + 1)));
}

}  // namespace
}  // namespace zindle
