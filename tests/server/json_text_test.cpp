#include "link/json_text.hpp"

#include <string>

#include <gtest/gtest.h>

namespace zindle {
namespace {

std::string nested(std::size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

TEST(JsonText, parsesObjectsAndArrays) {
  EXPECT_EQ(parseJson("{\"a\":[1,2.5,\"x\",true,null]}"),
            Json({{"a", {1, 2.5, "x", true, nullptr}}}));
  EXPECT_EQ(parseJson(" [ ] \r"), Json::array());
}

TEST(JsonText, refusesScalarsAtTheTop) {
  EXPECT_EQ(parseJson("null"), std::nullopt);
  EXPECT_EQ(parseJson("1"), std::nullopt);
  EXPECT_EQ(parseJson("\"ping\""), std::nullopt);
  EXPECT_EQ(parseJson("true"), std::nullopt);
}

TEST(JsonText, refusesAnythingButOneDocument) {
  EXPECT_EQ(parseJson(""), std::nullopt);
  EXPECT_EQ(parseJson("ping"), std::nullopt);
  EXPECT_EQ(parseJson("{\"id\":1"), std::nullopt);
  EXPECT_EQ(parseJson("{}{}"), std::nullopt);
  EXPECT_EQ(parseJson("{} x"), std::nullopt);
  EXPECT_EQ(parseJson("{\"a\":1,}"), std::nullopt);
  EXPECT_EQ(parseJson("{\"a\":1} // note"), std::nullopt);
  EXPECT_EQ(parseJson(std::string_view("{}\0", 3)), std::nullopt);
}

TEST(JsonText, refusesNumbersItCouldNotWriteBack) {
  EXPECT_EQ(parseJson("[1e400]"), std::nullopt);
  EXPECT_EQ(parseJson("[NaN]"), std::nullopt);
}

TEST(JsonText, refusesInvalidUtf8) {
  EXPECT_EQ(parseJson("{\"a\":\"\xff\"}"), std::nullopt);
  EXPECT_EQ(parseJson("{\"a\":\"\xc0\xaf\"}"), std::nullopt);      // overlong
  EXPECT_EQ(parseJson("{\"a\":\"\xed\xa0\x80\"}"), std::nullopt);  // surrogate
  EXPECT_EQ(parseJson("{\"a\":\"\xe2\x80\"}"), std::nullopt);      // cut short
  EXPECT_EQ(parseJson("{\"a\":\"\\ud800\"}"), std::nullopt);  // lone escape
  EXPECT_EQ(parseJson("{\"a\":1}\xff"), std::nullopt);
}

TEST(JsonText, readsValidUtf8AndEscapes) {
  EXPECT_EQ(parseJson("[\"\xe2\x80\xa6\",\"\\u2026\",\"\\ud83c\\udfa5\"]"),
            Json({"\u2026", "\u2026", "\U0001F3A5"}));
}

TEST(JsonText, acceptsNestingUpToTheLimit) {
  EXPECT_TRUE(parseJson(nested(kMaxJsonDepth)));
  EXPECT_EQ(parseJson(nested(kMaxJsonDepth + 1)), std::nullopt);
}

TEST(JsonText, refusesDeepNestingWithoutExhaustingTheStack) {
  EXPECT_EQ(parseJson(nested(1'000'000)), std::nullopt);
  EXPECT_EQ(parseJson(std::string(1'000'000, '{')), std::nullopt);
}

TEST(JsonText, countsNoBracketsInsideStrings) {
  const std::string brackets(2 * kMaxJsonDepth, '[');
  EXPECT_EQ(parseJson("{\"a\":\"" + brackets + "\\\"" + brackets + "\"}"),
            Json({{"a", brackets + "\"" + brackets}}));
}

TEST(JsonText, writesCompactlyWithPlainSlashesAndUtf8) {
  EXPECT_EQ(compactJson(Json{{"path", "/Users/me"},
                             {"title", "Caf\u00e9 \u2026"},
                             {"n", {1, 2.5, false, nullptr}}}),
            "{\"n\":[1,2.5,false,null],\"path\":\"/Users/me\","
            "\"title\":\"Caf\xc3\xa9 \xe2\x80\xa6\"}");
}

TEST(JsonText, compactRefusesTextThatIsNotUtf8) {
  EXPECT_EQ(compactJson(Json{{"a", "\xff"}}), std::nullopt);
}

TEST(JsonText, readsBackWhatItWrote) {
  const Json value = {{"title", "\u00c9cran \u2026 \U0001F3A5"},
                      {"id", -12},
                      {"ratio", 0.1},
                      {"big", 18446744073709551615u}};
  EXPECT_EQ(parseJson(*compactJson(value)), value);
}

TEST(JsonText, rendersIndentedWithKeysSortedAtEveryDepth) {
  EXPECT_EQ(json(Json{{"b", 1}, {"a", {{"d", true}, {"c", nullptr}}}}),
            "{\n"
            "  \"a\": {\n"
            "    \"c\": null,\n"
            "    \"d\": true\n"
            "  },\n"
            "  \"b\": 1\n"
            "}");
}

TEST(JsonText, rendersSlashesAndNonAsciiPlainly) {
  EXPECT_EQ(json(Json{{"file", "/Movies/\u00e9t\u00e9.mov"}}),
            "{\n  \"file\": \"/Movies/\xc3\xa9t\xc3\xa9.mov\"\n}");
}

TEST(JsonText, rendersAnEmptyObjectAsAnEmptyObject) {
  EXPECT_EQ(json(Json::object()), "{}");
}

TEST(JsonText, rendersWhatCannotBeWrittenAsAnEmptyObject) {
  EXPECT_EQ(json(Json{{"title", "\xc3"}}), "{}");
}

}  // namespace
}  // namespace zindle
