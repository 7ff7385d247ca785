#include "link/json_reader.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "link/json_numbers.hpp"
#include "link/recorder.hpp"
#include "support/differential.hpp"
#include "support/random_json.hpp"

namespace zindle::link {
namespace {

// The values and sources read from `body` by a reading that starts with the
// sources ["Old"]; null when the body is refused.
Json readOf(const std::string& body) {
  NamespaceSnapshot reading{{}, {"Old"}};
  if (!readNamespace(body, reading)) return nullptr;
  return {{"values", reading.values}, {"sources", reading.sources}};
}

// Arrays and objects in turn, `depth` of them, the innermost empty.
std::string nested(std::size_t depth) {
  if (depth == 1) return "[]";
  const std::string inner = nested(depth - 1);
  return depth % 2 == 1 ? "[" + inner + "]" : R"({"a":)" + inner + "}";
}

// `inner` in `depth` arrays.
std::string inArrays(std::size_t depth, const std::string& inner) {
  return std::string(depth, '[') + inner + std::string(depth, ']');
}

// An object of `count` members, all of them "a": 0.
std::string members(std::size_t count) {
  std::string text = R"({"a":0)";
  for (std::size_t i = 1; i < count; ++i) text += R"(,"a":0)";
  return text + "}";
}

// An array holding `count` items at two levels: one array, and its zeros.
std::string items(std::size_t count) {
  std::string text = "[[0";
  for (std::size_t i = 2; i < count; ++i) text += ",0";
  return text + "]]";
}

TEST(JsonReader, aNamespaceGivesTheFirstValuesAndTheSourcesOfSource) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Every depth, the root too; a member of CONTENTS that is no object
      // is skipped, and of two nodes with one path the later one wins.
      {R"({"FULL_PATH": "/", "VALUE": ["root"], "CONTENTS": {"a": "text",
           "b": {"FULL_PATH": "/size", "VALUE": [1920, 1080], "CONTENTS": {
             "c": {"FULL_PATH": "/x", "VALUE": [1]}}},
           "d": {"FULL_PATH": "/x", "VALUE": [null]},
           "e": {"FULL_PATH": "/y", "VALUE": [
             {"k": [-1, 2.5, true, "s", 18446744073709551615]}]}}})",
       R"({"values": {"/": "root", "/size": 1920, "/x": null,
           "/y": {"k": [-1, 2.5, true, "s", 18446744073709551615]}},
           "sources": ["Old"]})"},
      // No value without a VALUE array that has an element.
      {R"({"CONTENTS": {"a": {"FULL_PATH": "/a", "VALUE": []},
                        "b": {"FULL_PATH": "/b", "VALUE": "idle"},
                        "c": {"FULL_PATH": 3, "VALUE": [1]}}})",
       R"({"values": {}, "sources": ["Old"]})"},
      // The titles come from the first RANGE object; when that is malformed
      // there are none.
      {R"({"FULL_PATH": "/source", "VALUE": ["Camera"],
           "RANGE": [{"VALS": ["Camera", "Screen"]}, {"VALS": ["Other"]}]})",
       R"({"values": {"/source": "Camera"}, "sources": ["Camera", "Screen"]})"},
      {R"({"FULL_PATH": "/source", "VALUE": [""], "RANGE": [{}]})",
       R"({"values": {"/source": ""}, "sources": []})"},
      {R"({"FULL_PATH": "/source", "VALUE": [""],
           "RANGE": [{"VALS": ["Camera", 3]}]})",
       R"({"values": {"/source": ""}, "sources": []})"},
      // No usable RANGE, or no value, leaves the titles as they were.
      {R"({"FULL_PATH": "/source", "VALUE": [""], "RANGE": []})",
       R"({"values": {"/source": ""}, "sources": ["Old"]})"},
      {R"({"FULL_PATH": "/source", "VALUE": [""], "RANGE": [{}, 1]})",
       R"({"values": {"/source": ""}, "sources": ["Old"]})"},
      {R"({"FULL_PATH": "/source", "VALUE": [], "RANGE": [{"VALS": ["A"]}]})",
       R"({"values": {}, "sources": ["Old"]})"},
      // Of repeated keys the last counts, in a node and in its range.
      // Numbers past 64 bits, anywhere, read as nlohmann reads them; past a
      // double's range, as null.
      {R"({"FULL_PATH": "/x", "VALUE": [1], "CONTENTS": 1, "RANGE": [{}],
           "FULL_PATH": "/source", "VALUE": [18446744073709551616], "X": ["\"",
           1E+400], "RANGE": [{"VALS": ["A"], "VALS": ["B"]}], "CONTENTS": {
           "c": {"FULL_PATH": "/c", "VALUE": [-1e400, "1e400"]}}})",
       R"({"values": {"/source": 1.8446744073709552e19, "/c": null},
           "sources": ["B"]})"},
      // Values nested past kMaxValueDepth are left out.
      {R"({"CONTENTS": {"a": {"FULL_PATH": "/a", "VALUE": [)" +
           nested(kMaxValueDepth) +
           R"(]}, "b": {"FULL_PATH": "/b", "VALUE": [)" +
           nested(kMaxValueDepth + 1) + "]}}}",
       R"({"values": {"/a": )" + nested(kMaxValueDepth) +
           R"(}, "sources": ["Old"]})"},
      // Objects count as arrays do: an empty object at the deepest level
      // kept is kept.
      {R"({"CONTENTS": {"a": {"FULL_PATH": "/a", "VALUE": [)" +
           inArrays(kMaxValueDepth - 1, "{}") +
           R"(]}, "b": {"FULL_PATH": "/b", "VALUE": [)" +
           inArrays(kMaxValueDepth, "{}") + "]}}}",
       R"({"values": {"/a": )" + inArrays(kMaxValueDepth - 1, "{}") +
           R"(}, "sources": ["Old"]})"},
      // Not one JSON object (what else is none is the parser's test below):
      // no namespace at all.
      {R"([{"FULL_PATH": "/a", "VALUE": [1]}])", "null"},
      // A value too large for what is left to read is left out.
      {R"({"CONTENTS": {"a": {"FULL_PATH": "/a", "VALUE": [)" +
           items(kMaxJsonItems + 1) + R"(]}, "b": {"FULL_PATH": "/b",
           "VALUE": [[1]]}}})",
       R"({"values": {"/b": [1]}, "sources": ["Old"]})"},
  };
  for (const auto& [body, expected] : cases) {
    const Json read = readOf(body);
    // Compared as text, so that a failure prints no more than it must.
    EXPECT_EQ(read.dump().substr(0, 300), Json::parse(expected).dump())
        << body.substr(0, 200);
  }
  // Each node kept and each title counts: a million titles once took half
  // a gigabyte. Past the limit the "/source" node is left out.
  const auto sourcesAfterANode = [](std::size_t titles) {
    std::string body = R"({"CONTENTS": {"a": {"FULL_PATH": "/a", "VALUE": [1]},
        "s": {"FULL_PATH": "/source", "VALUE": [""], "RANGE": [{"VALS": ["")";
    for (std::size_t i = 1; i < titles; ++i) body += R"(,"")";
    return readOf(body + "]}]}}}")["sources"].size();
  };
  EXPECT_EQ(sourcesAfterANode(kMaxJsonItems - 2), kMaxJsonItems - 2);
  EXPECT_EQ(sourcesAfterANode(kMaxJsonItems - 1), 1);  // "Old"
  // A value as large as what is left is kept, an array as an object.
  for (const std::string& value :
       {items(kMaxJsonItems - 1), members(kMaxJsonItems - 1)}) {
    const std::string body = R"({"FULL_PATH": "/a", "VALUE": [)" + value + "]}";
    EXPECT_TRUE(readOf(body)["values"].contains("/a")) << value.substr(0, 9);
  }
  // So is a node that takes the last item: "/c" after "/a" and "/b".
  EXPECT_TRUE(readOf(R"({"CONTENTS": {"a": {"FULL_PATH": "/a", "VALUE": [)" +
                     items(kMaxJsonItems - 3) +
                     R"(]}, "b": {"FULL_PATH": "/b", "VALUE": [1]},
                     "c": {"FULL_PATH": "/c", "VALUE": [1]}}})")["values"]
                  .contains("/c"));
}

// simdjson reads past the end of what it parses, so each text is copied
// into room of its own first: a text that ends where its memory does reads
// as any other, and so does one whose numbers are rewritten first.
TEST(JsonReader, readsATextThatEndsWhereItsMemoryEnds) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  auto* pages =
      static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANON, -1, 0));
  ASSERT_EQ(mprotect(pages + page, page, PROT_NONE), 0);  // a guard page
  for (const std::string_view body :
       {R"({"FULL_PATH": "/a", "VALUE": ["x"]})",
        R"({"FULL_PATH": "/a", "VALUE": [1e400]})"}) {
    const char* text =
        std::copy(body.begin(), body.end(), pages + page - body.size()) -
        body.size();
    NamespaceSnapshot reading;
    EXPECT_TRUE(readNamespace({text, body.size()}, reading)) << body;
  }
  munmap(pages, 2 * page);
}

// What a request line may be: one object or array, nothing more, nothing
// deeper than the writer can take; read to the values nlohmann would give.
TEST(JsonReader, readsARequestLineAsOneObjectOrArrayOfJsonValues) {
  const std::vector<std::pair<std::string, std::string>> kCases = {
      {"\xEF\xBB\xBF{\"a\" : [ ] } ", R"({"a":[]})"},
      {"[18446744073709551615, -9223372036854775808, -0, 1e-400, 2.5E+3]",
       "[18446744073709551615,-9223372036854775808,0,0.0,2500.0]"},
      // Past 64 bits: a double, as nlohmann reads it, whatever follows.
      {"[18446744073709551616, {\"x\": [true]}]",
       R"([1.8446744073709552e+19,{"x":[true]}])"},
      {nested(kMaxJsonDepth), nested(kMaxJsonDepth)},
      {"[\"" + std::string(kMaxJsonDepth + 1, '[') + "\"]",
       "[\"" + std::string(kMaxJsonDepth + 1, '[') + "\"]"},
      {nested(kMaxJsonDepth + 1), "none"},
      {inArrays(kMaxJsonDepth - 1, "{}"), inArrays(kMaxJsonDepth - 1, "{}")},
      {inArrays(kMaxJsonDepth, "{}"), "none"},
      {"[18446744073709551616," + nested(kMaxJsonDepth) + "]", "none"},
      {std::string("{}\0", 3), "none"},
      {std::string("[\"\0\"]", 5), "none"},
      {R"(["\"1e400", 1e400])", R"(["\"1e400",null])"},
      // Valid, about 0.11, and past where simdjson counts an exponent.
      {"[" + std::string(655360, '1') + "e-655360]", "[0.1111111111111111]"},
      {R"(["\udc00"])", "none"},
      {"", "none"},
  };
  for (const auto& [text, expected] : kCases) {
    const std::optional<Json> read = parseJson(text);
    EXPECT_EQ(read ? read->dump() : "none", expected) << text.substr(0, 40);
  }
  EXPECT_TRUE(parseJson("[-1]")->at(0).is_number_integer());
  EXPECT_TRUE(parseJson("[1]")->at(0).is_number_unsigned());
}

// The members a server acts on, the id as the text it is written with:
// "id | method | params", "-" for each one missing.
TEST(JsonReader, readsARequestsIdMethodAndParamsTheLastOfEachCounting) {
  const auto read = [](const std::string& text) -> std::string {
    const std::optional<RequestMembers> m = readRequest(text);
    if (!m) return "none";
    return m->id.value_or("-") + " | " + m->method.value_or("-") + " | " +
           (m->params ? m->params->dump() : "-");
  };
  const std::string large = "18446744073709551616";
  const std::string head = R"({"id":1,"method":"m","x":)";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"id":1,"id":{"x":null},"method":5,"params":[],"params":{"a":[]}})",
       R"({"x":null} | - | {"a":[]})"},
      {R"({"id":)" + large + R"(,"method":"a","method":"b","params":{"c":1}})",
       R"(18446744073709551616 | b | {"c":1})"},
      {R"([{"id":1,"method":"m"}])", "none"},
      // A number's own text, which no number type keeps.
      {R"({"id" : -9223372036854775809 , "x": 1e400})",
       "-9223372036854775809 | - | -"},
      {R"({"id":1,"\u0069d":1E+2})", "1E+2 | - | -"},
      {R"({"id":-0})", "-0 | - | -"},
      {R"({"id":1e400})", "1e400 | - | -"},
      {R"({"id":1,"method":"m","params":{"x":)" + std::string(655360, '1') +
           "e-655360}}",
       R"(1 | m | {"x":0.1111111111111111})"},
      // However many items the line holds: 100,000 titles once went
      // unanswered.
      {head + items(100000) + "}", "1 | m | -"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(read(text), expected) << text.substr(0, 80);
  }
}

// Each text and what it is rewritten to; "same" when it is left as it is.
// Only numbers that simdjson may not hold are rewritten, and only JSON
// numbers: a text that is no JSON stays as it is, for the parser to refuse.
TEST(JsonReader, rewritesOnlyTheNumbersSimdjsonCannotHoldAsNlohmannReadsThem) {
  const std::string ones(655360, '1');
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Past 64 bits, an integer is the nearest double; past a double's
      // range, any number is null.
      {"[18446744073709551616]", "[1.8446744073709552e+19]"},
      {"[-18446744073709551617,1e400,-1E+400,0.5e400]",
       "[-1.8446744073709552e+19,null,null,null]"},
      {"-1e400", "null"},
      // simdjson stops counting an exponent at 65,536: about 0.11.
      {"[" + ones + "e-655360]", "[0.1111111111111111]"},
      {"{\"a\":" + ones + "0E-655361}", "{\"a\":0.1111111111111111}"},
      // In strings, escaped quotes and all.
      {R"(["1e400","\"",18446744073709551616,"\\"])",
       R"(["1e400","\"",1.8446744073709552e+19,"\\"])"},
      {R"(["\"1e400", "x\\\"1e400"])", "same"},
      // No JSON numbers, each with nineteen digits or a long exponent.
      {"[0000000000000000001]", "same"},
      {"[00e400]", "same"},
      {"[-0000000000000000001]", "same"},
      {"[1234567890123456789.]", "same"},
      {"[1.e400]", "same"},
      {"[1e]", "same"},
      {"[1e+]", "same"},
      {"[1e4-00]", "same"},
      {"[18446744073709551616e]", "same"},
      {"[-]", "same"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(withReadableNumbers(text).value_or("same"), expected)
        << text.substr(0, 60);
  }
}

// Random texts, most near valid and not JSON, read as nlohmann reads them;
// a request's members as its whole value holds them; and the numbers
// rewritten for simdjson have the values nlohmann gives them.
TEST(JsonReader, readsRandomTextsAsNlohmannDoes) {
  testing::RandomJson random(301);
  for (int i = 0; i < 3000; ++i) {
    const std::string valid = random.text();
    const std::string text = random.below(2) ? valid : random.damaged(valid);
    EXPECT_TRUE(testing::readsAsNlohmann(text)) << text;
    EXPECT_TRUE(testing::readsRequestAsAWhole(text)) << text;
    const std::optional<std::string> rewritten = withReadableNumbers(valid);
    if (rewritten) {
      EXPECT_EQ(Json::parse(*rewritten).dump(), Json::parse(valid).dump());
    }
  }
}

}  // namespace
}  // namespace zindle::link
