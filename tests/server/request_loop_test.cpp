// The request loop from the bytes a client writes to the bytes it reads, and
// the two writers of JSON text.

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/recorder_error.hpp"
#include "server/line_reader.hpp"
#include "server/request_handler.hpp"
#include "support/golden.hpp"
#include "support/random_json.hpp"

namespace zindle::server {
namespace {

int toolsRun = 0;

// Throws what `name` says, or returns the name and arguments it was given.
Json fakeTool(std::string_view name, const Json& arguments) {
  ++toolsRun;
  if (name == "refused") throw RecorderError::badArguments("unknown tool x");
  if (name == "broken") throw std::runtime_error("disk full");
  if (name == "int") throw 42;
  if (name == "unwritable") throw std::runtime_error("\xff");
  if (name == "sized") {
    // A result whose compact text is `bytes` long, the padding all quotes,
    // each written as two bytes.
    Json result = {{"content", {{{"type", "text"}, {"text", ""}}}}};
    if (arguments.contains("isError")) result["isError"] = arguments["isError"];
    const std::size_t padding =
        arguments["bytes"].get<std::size_t>() - result.dump().size();
    result["content"][0]["text"] =
        std::string(padding / 2, '"') + std::string(padding % 2, 'x');
    return result;
  }
  return {{"name", name}, {"arguments", arguments}};
}

// What serve() writes for `input` handed out `piece` bytes at a time.
std::string served(const std::string& input, std::size_t piece) {
  std::size_t offset = 0;
  std::string output;
  serve(
      [&](char* buffer, std::size_t size) {
        const std::size_t count =
            input.copy(buffer, std::min(size, piece), offset);
        offset += count;
        return count;
      },
      [&](std::string_view line) {
        output += line;
        return true;
      },
      fakeTool);
  return output;
}

std::string ok(const std::string& id, const std::string& result) {
  return R"({"id":)" + id + R"(,"jsonrpc":"2.0","result":)" + result + "}";
}
std::string notFound(const std::string& id, const std::string& method) {
  return R"({"error":{"code":-32601,"message":"method not found: )" + method +
         R"("},"id":)" + id + R"(,"jsonrpc":"2.0"})";
}
std::string call(const std::string& params) {
  return R"({"id":1,"method":"tools/call","params":)" + params + "}";
}
std::string toolText(const std::string& text, bool isError = true) {
  return ok("1", R"({"content":[{"text":")" + text +
                     R"(","type":"text"}],"isError":)" +
                     (isError ? "true" : "false") + "}");
}
// A call of "sized" with "isError" as written ("" for none).
std::string sized(std::size_t bytes, const std::string& isError) {
  return call(R"({"name":"sized","arguments":{"bytes":)" +
              std::to_string(bytes) +
              (isError.empty() ? "" : ",\"isError\":" + isError) + "}}");
}
std::string tooLarge(std::size_t bytes, bool isError) {
  return toolText("The answer is too large to show: " + std::to_string(bytes) +
                      " bytes, past the 1048576 this server returns. The "
                      "recorder publishes values or titles far longer than "
                      "usual.",
                  isError);
}
// A ping whose line, LF left out, is `bytes` long.
std::string pingOf(std::size_t bytes) {
  const std::string ping = R"({"id":1,"method":"ping"})";
  return ping + std::string(bytes - ping.size(), ' ');
}

// One session, each line and its answer in turn ("" for none), whatever the
// pieces the input arrives in: nothing for a line that is no request, each
// request answered in its order, the last line without its LF too.
TEST(RequestLoop, answersEachRequestLineAndNothingElse) {
  const std::string wire =
      testing::golden("wire.jsonl", "@VERSION@", ZINDLE_VERSION);
  const std::string initialized = wire.substr(0, wire.find('\n'));
  const auto initializedAs = [&](const std::string& version) {
    std::string line = initialized;
    return line.replace(line.find("2025-06-18"), 10, version);
  };
  const std::string ping = ok("1", "{}");
  const std::string none = ok("1", R"({"arguments":{},"name":""})");
  const std::pair<std::string, std::string> kRows[] = {
      {"", ""},
      {"[]", ""},
      {"{}", ""},
      {"null", ""},
      {"not json", ""},
      {"\r", ""},
      {R"({"id":1,"method":5})", ""},
      {R"([{"id":1,"method":"ping"}])", ""},
      {R"({"jsonrpc":"2.0","method":"notifications/initialized"})", ""},
      {R"({"method":"tools/call","params":{"name":"broken"}})", ""},
      {R"({"id":1,"method":"ping"}{"id":2,"method":"ping"})", ""},
      {R"({"id":1,"method":"ping"}x)", ""},
      {"{\"id\":1,\n\"method\":\"ping\"}", ""},
      // The id echoed as written, whatever it is; the method as sent.
      {R"({"id":-7,"method":"ping","jsonrpc":"x"})"
       "\r",
       ok("-7", "{}")},
      {R"({"id":18446744073709551615,"method":"ping"})",
       ok("18446744073709551615", "{}")},
      {R"({"id":-2.50,"method":"ping"})", ok("-2.50", "{}")},
      {R"({"id":"a\/b","method":"ping","params":7})", ok("\"a/b\"", "{}")},
      {R"({"id":{"a":[null,true]},"method":"ping"})",
       ok(R"({"a":[null,true]})", "{}")},
      {R"({"id":null,"method":"resources/list"})",
       notFound("null", "resources/list")},
      {R"({"id":1,"method":"Ping"})", notFound("1", "Ping")},
      // The bytes of initialize and tools/list never change but for the
      // version; the protocol version asked for is given back.
      {R"({"jsonrpc":"2.0","id":1,"method":"initialize",)"
       R"("params":{"protocolVersion":"2025-06-18"}})",
       initialized},
      {R"({"jsonrpc":"2.0","id":2,"method":"tools/list","params":{"c":1}})",
       wire.substr(initialized.size() + 1,
                   wire.size() - initialized.size() - 2)},
      {R"({"id":1,"method":"initialize","params":{"protocolVersion":"2030"}})",
       initializedAs("2030")},
      {R"({"id":1,"method":"initialize","params":{"protocolVersion":3}})",
       initializedAs("2024-11-05")},
      {R"({"id":1,"method":"initialize"})", initializedAs("2024-11-05")},
      // A tools/call always gets a result, whatever its params hold and
      // whatever the tool throws; a text that is not UTF-8 could not be
      // written, and no answer would come.
      {call("[1]"), none},
      {R"({"id":1,"method":"tools/call"})", none},
      {call(R"({"name":5,"arguments":[1]})"), none},
      {call(R"({"name":"s","arguments":{"a":1}})"),
       ok("1", R"({"arguments":{"a":1},"name":"s"})")},
      {call(R"({"name":"refused"})"), toolText("unknown tool x")},
      {call(R"({"name":"broken"})"),
       toolText("The tool failed unexpectedly: disk full")},
      {call(R"({"name":"int"})"), toolText("The tool failed unexpectedly")},
      {call(R"({"name":"unwritable"})"),
       toolText("The tool failed unexpectedly")},
      // Past kMaxResultBytes a result says only how long it was, and
      // whether the tool failed stays as the tool said.
      {sized(kMaxResultBytes + 1, "false"),
       tooLarge(kMaxResultBytes + 1, false)},
      {sized(kMaxResultBytes + 2, "true"), tooLarge(kMaxResultBytes + 2, true)},
      // Only a tool that says it did not fail is taken at its word.
      {sized(kMaxResultBytes + 1, ""), tooLarge(kMaxResultBytes + 1, true)},
      // A line longer than kMaxLineBytes is dropped whole, however long.
      {pingOf(kMaxLineBytes), ping},
      {pingOf(kMaxLineBytes + 1), ""},
      {pingOf(3 * kMaxLineBytes), ""},
      {R"({"id":1,"method":"ping"})", ping},
  };
  // The session in pieces of a byte, but for its long lines and long
  // results, and as read by the mebibyte.
  std::string input[2], output[2];
  for (const auto& [line, answer] : kRows) {
    const bool isLong = line.size() > 64 << 10 || line.find("sized") < 64;
    for (int whole = isLong; whole < 2; ++whole) {
      input[whole] += (input[whole].empty() ? "" : "\n") + line;
      output[whole] += answer.empty() ? "" : answer + "\n";
    }
  }
  for (const int whole : {0, 1}) {
    toolsRun = 0;
    EXPECT_EQ(served(input[whole], whole ? 1 << 20 : 1), output[whole]);
    EXPECT_EQ(toolsRun, whole ? 11 : 8);  // none for a call without an id
  }
  // A result of exactly the limit is given as the tool wrote it.
  const std::string atTheLimit =
      served(sized(kMaxResultBytes, "true"), 1 << 20);
  EXPECT_EQ(atTheLimit.size(), ok("1", "").size() + kMaxResultBytes + 1);
  EXPECT_EQ(atTheLimit.find("too large"), std::string::npos);
}

using Lines = std::vector<std::string>;

// The lines of at most 8 bytes read from `input` handed out `piece` bytes at
// a time; a longer line reads "<too long>".
Lines readLines(const std::string& input, std::size_t piece) {
  std::size_t offset = 0;
  LineReader reader(
      [&](char* buffer, std::size_t size) {
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

// The line limit at every chunk boundary, which the session's mebibyte
// lines reach only at a few: the same splitting, on lines of 8 bytes.
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

// How a session ends: at the end of input, when input can no longer be
// read, or at the first answer that cannot be written, the rest unread.
// Nothing of an overlong line is kept meanwhile.
TEST(RequestLoop, endsWithItsStreamsAndHoldsNoOverlongLine) {
  const std::string input = pingOf(30) + '\n' + pingOf(30) + '\n';
  std::size_t offset = 0;
  std::set<char*> buffers;
  const auto readSome = [&](char* buffer, std::size_t size) {
    if (offset == input.size() + 16 * kMaxLineBytes) throw std::bad_alloc();
    buffers.insert(buffer);
    const std::size_t count = std::min(size, std::size_t{kReadChunkBytes});
    if (offset < input.size()) {
      const std::size_t copied = input.copy(buffer, count, offset);
      offset += copied;
      return copied;
    }
    std::fill_n(buffer, count, 'x');  // one endless line
    offset += count;
    return count;
  };
  int writes = 0;
  const auto writer = [&](std::string_view) { return ++writes < 2; };
  EXPECT_FALSE(serve(readSome, writer, fakeTool));
  EXPECT_EQ(writes, 2);
  EXPECT_EQ(offset, input.size());
  writes = -1000;
  buffers.clear();
  EXPECT_TRUE(serve(readSome, writer, fakeTool));  // the read threw
  // Reads fill one line's room, then land at its start: the bytes past
  // kMaxLineBytes were not kept (16 times that would give 256 places). An
  // allocator that never hands an address back at once, as AddressSanitizer
  // does, adds a place for each new buffer.
  EXPECT_LE(buffers.size(), 2 * (kMaxLineBytes / kReadChunkBytes + 1));
}

// Messages go out as compact JSON on one line, a tool's status text as
// indented JSON with sorted keys; both read back as what was written, and
// write "/" and non-ASCII as they are.
TEST(MessageWriting, writesTextThatReadsBackAsTheValue) {
  EXPECT_EQ(compactJson({{"z", {{"b", false}, {"a", "/M\u00e9 \u2026"}}},
                         {"id", 1},
                         {"text", "two\nlines"}}),
            "{\"id\":1,\"text\":\"two\\nlines\",\"z\":{\"a\":\"/"
            "M\xc3\xa9 \xe2\x80\xa6\",\"b\":false}}");
  EXPECT_EQ(prettyJson({{"b", {{"d", true}, {"c", "/M\u00e9"}}}, {"a", 1}}),
            "{\n  \"a\": 1,\n  \"b\": {\n    \"c\": \"/M\xc3\xa9\",\n"
            "    \"d\": true\n  }\n}");
  // Not JSON: the message that holds it is dropped, the status is "{}".
  EXPECT_EQ(compactJson({{"text", "bad \xff byte"}}), std::nullopt);
  EXPECT_EQ(prettyJson({{"title", "\xc3"}}), "{}");
  testing::RandomJson random(302);
  for (int i = 0; i < 2000; ++i) {
    const Json value = Json::parse(random.text());
    const std::optional<std::string> compact = compactJson(value);
    ASSERT_TRUE(compact);
    EXPECT_EQ(compact->find('\n'), std::string::npos);
    EXPECT_EQ(Json::parse(*compact), value) << *compact;
    EXPECT_EQ(Json::parse(prettyJson(value)), value) << *compact;
  }
}

}  // namespace
}  // namespace zindle::server
