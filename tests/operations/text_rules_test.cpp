#include "operations/text_rules.hpp"

#include <array>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zindle::operations {
namespace {

// The result of the rule named `rule` as text, so that one table holds all.
std::string apply(const std::string& rule, const std::string& text,
                  const std::string& other) {
  if (rule == "lowercased") return lowercased(text);
  if (rule == "equivalent") return equivalent(text, other) ? "yes" : "no";
  return TextSearch(other).isFoundIn(text) ? "yes" : "no";
}

std::string repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

// One table for both implementations of the Unicode rules: ICU's, and the
// Mac's own (CoreFoundation), which the app matches titles with.
TEST(TextRules, followUnicode) {
  const std::string kEngland =
      "\U0001F3F4\U000E0067\U000E0062\U000E0065\U000E006E\U000E0067"
      "\U000E007F";
  // The rule, its text (and the other text it takes), the result.
  const std::vector<std::array<std::string, 4>> cases = {
      {"lowercased", "\u00c9CRAN", "", "\u00e9cran"},
      {"lowercased", "E\u0301CRAN", "", "e\u0301cran"},
      {"lowercased", "\u00c4\u0394\u00df", "", "\u00e4\u03b4\u00df"},
      // The default mapping, whatever the locale: not Turkish rules.
      {"lowercased", "\u0130I", "", "i\u0307i"},
      {"lowercased", "\u039f\u03a3", "", "\u03bf\u03c2"},  // final sigma
      {"lowercased", "", "", ""},
      // Grows past the first guess of the result's size.
      {"lowercased", repeated("\u0130", 40), "", repeated("i\u0307", 40)},
      {"equivalent", "\u00e9", "e\u0301", "yes"},
      {"equivalent", "\u00e9", "e", "no"},
      {"equivalent", "\u00e9", "\u00c9", "no"},
      {"equivalent", "", "", "yes"},
      {"equivalent", "a\u0323\u0301", "a\u0301\u0323", "yes"},
      // Past 30 marks on one letter, a joiner bounds their reordering: the
      // orders agree within each run of 30 only.
      {"equivalent", "a" + repeated("\u0300", 31) + "\u0323",
       "a\u0323" + repeated("\u0300", 31), "no"},
      {"equivalent", repeated("\u0300", 30) + "\u0323",
       "\u0323" + repeated("\u0300", 30), "no"},  // marks from the start
      {"equivalent", "a" + repeated("\u0301\u0323", 20),
       "a" + repeated("\u0323\u0301", 20), "yes"},
      {"contains", "\u00c9cran Principal", "\u00e9cran", "yes"},
      {"contains", "caf\u00e9", "cafe", "no"},
      {"contains", "\u00e9", "\u00c9", "yes"},
      {"contains", "e\u0301", "\u00e9", "yes"},
      {"contains", "\u00e9", "e\u0301", "yes"},
      {"contains", "x\u0301", "x", "no"},
      {"contains", "x\u0301x", "x", "yes"},
      {"contains", "e\u0301e\u0301e", "e\u0301e", "yes"},  // overlapping
      {"contains", "x\U0001D167", "x", "no"},              // a mark past U+FFFF
      // Marks whose surrogate pairs begin or end their ranges.
      {"contains", "x\U000101FD", "x", "no"},
      {"contains", "x\U0001E000", "x", "no"},
      {"contains", "\uff21\U000101FD\uff22", "\uff21", "no"},
      {"contains", "\uff21b", "b", "yes"},  // a letter past U+DFFF
      {"contains", "a\U00010000\u0301b", "\U00010000", "no"},
      {"contains", "a\U00010000b", "\U00010000B", "yes"},
      {"contains", "\u00e0x", "x", "yes"},
      // However many letters, none is a mark.
      {"contains", "\u0416" + repeated("\u0434", 35), repeated("\u0434", 35),
       "yes"},
      {"contains", "a" + repeated("\u0301\u0323", 40), "a", "no"},
      {"contains", "a" + repeated("\u0301\u0323", 40) + "b",
       "A" + repeated("\u0301\u0323", 40), "yes"},
      // Searching anew from every position took hours over these.
      {"contains", repeated("a", 1 << 22), repeated("a", 99999) + "b", "no"},
      {"contains", "e\u0301x", "\u0301x", "no"},
      {"contains", "\u00e9x", "\u0301x", "no"},
      {"contains", "\u0301x", "\u0301x", "yes"},
      {"contains", "STRASSE", "stra\u00dfe", "yes"},
      {"contains", "stra\u00dfe", "STRASSE", "yes"},
      // Nothing begins or ends inside what folding makes of one character,
      // nor between the letters of a syllable or before a skin tone.
      {"contains", "\u00df", "s", "no"},
      {"contains", "\u00dfx", "sx", "no"},
      {"contains", "x\u00df", "xs", "no"},
      {"contains", "\u00df", "ss", "yes"},
      {"contains", "\ufb03", "f", "no"},
      {"contains", "\ufb03", "fi", "no"},
      {"contains", "o\ufb03ce", "OFFICE", "yes"},
      {"contains", "\u0149", "n", "no"},
      {"contains", "\u0149", "\u02bcn", "yes"},
      {"contains", "\u1f80", "\u1f00", "no"},
      {"contains", "\uac01", "\uac00", "no"},
      {"contains", "\u1100\u1161\u11a8", "\uac00", "no"},
      {"contains", "\uac00\uac01", "\uac00", "yes"},
      {"contains", "\u1100\u1161\u11a8", "\uac01", "yes"},
      {"contains", "\u1100\u1161", "\u1100", "no"},
      {"contains", "\u1100\u1101", "\u1100", "no"},
      {"contains", "\u115f\u1161", "\u115f", "no"},
      {"contains", "\u1100\u11a7", "\u1100", "no"},
      {"contains", "\u1100\u1160\u11a8", "\u1100\u1160", "no"},
      {"contains", "\u1100\u1161\u11f9", "\u1100\u1161", "no"},
      {"contains", "\u1100\u1161\u11a8\u11a9", "\u1100\u1161\u11a8", "no"},
      {"contains", "\u11a8\u1161", "\u11a8", "yes"},
      {"contains", "\u1100\u1161\u11fa", "\u1100\u1161", "yes"},
      {"contains", "\U0001F44D\U0001F3FB", "\U0001F44D", "no"},
      {"contains", "\U0001F44D\U0001F3FF", "\U0001F44D", "no"},
      {"contains", "\U0001F44D\U0001F3FD!", "\U0001F44D\U0001F3FD", "yes"},
      {"contains", "\u0645\u06cc\u200c\u062e", "\u0645\u06cc", "no"},
      {"contains", "\uff76\uff9e", "\uff76", "no"},
      {"contains", "\uff8a\uff9f", "\uff8a", "no"},
      // A flag of tags is found whole only.
      {"contains", kEngland, kEngland.substr(0, kEngland.size() - 4), "no"},
      {"contains", "x\U000E0020", "x", "no"},
      // Emoji joined into one and flags side by side are found in part, as
      // on a Mac.
      {"contains", "\U0001F469\u200d\U0001F469\u200d\U0001F467", "\U0001F469",
       "yes"},
      {"contains", "\U0001F1E6\U0001F1FA\U0001F1F8\U0001F1EA",
       "\U0001F1FA\U0001F1F8", "yes"},
      {"contains", "\u0394\u0399\u0391", "\u03b4\u03b9", "yes"},
  };
  for (const auto& [rule, text, other, expected] : cases) {
    EXPECT_EQ(apply(rule, text, other), expected) << rule << " " << text;
  }
}

// On ASCII the search is a plain one that ignores case, an empty needle
// found nowhere: checked against one on lowercased copies, over short texts
// of few letters, where partial matches and their restarts abound.
TEST(TextRules, searchAsciiAsAPlainSearchDoes) {
  std::mt19937 random(303);
  const std::string letters = "aAbB";
  const auto text = [&](std::size_t most) {
    std::string result(random() % (most + 1), ' ');
    for (char& c : result) c = letters[random() % letters.size()];
    return result;
  };
  const auto lower = [](std::string result) {
    for (char& c : result) c = c == 'A' ? 'a' : c == 'B' ? 'b' : c;
    return result;
  };
  for (int i = 0; i < 4000; ++i) {
    const std::string haystack = text(16);
    const std::string needle = text(6);
    EXPECT_EQ(TextSearch(needle).isFoundIn(haystack),
              !needle.empty() &&
                  lower(haystack).find(lower(needle)) != std::string::npos)
        << haystack << " " << needle;
  }
}

}  // namespace
}  // namespace zindle::operations
