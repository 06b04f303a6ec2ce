#include "shell/text_conversion.h"

#include <gtest/gtest.h>

TEST(TextConversion, EmptyStaysEmptyBothWays) {
  EXPECT_EQ(utf16_to_utf8(u""), "");
  EXPECT_EQ(utf8_to_utf16(""), u"");
}

TEST(TextConversion, RoundTripsEveryPlane) {
  const std::u16string wide = u"Caf\u00e9 \u20ac \U0001F600 \u4e2d";
  const std::string narrow = utf16_to_utf8(wide);
  EXPECT_EQ(narrow, "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xE4\xB8\xAD");
  EXPECT_EQ(utf8_to_utf16(narrow), wide);
  EXPECT_EQ(utf16_to_utf8(u"Caf\u00e9").size(), 5u);
}

TEST(TextConversion, StopsAtTheFirstNul) {
  EXPECT_EQ(utf16_to_utf8(std::u16string(u"ab\0cd", 5)), "ab");
  EXPECT_EQ(utf8_to_utf16(std::string("ab\0cd", 5)), u"ab");
}

TEST(TextConversion, InvalidInputBecomesReplacementCharacters) {
  // Unpaired surrogates, either half.
  EXPECT_EQ(utf16_to_utf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(utf16_to_utf8(std::u16string{char16_t(0xDC00)}), "\xEF\xBF\xBD");
  // A stray continuation byte, a truncated sequence, an overlong form, an encoded surrogate.
  EXPECT_EQ(utf8_to_utf16("a\x80" "b"), u"a\uFFFDb");
  EXPECT_EQ(utf8_to_utf16("\xE2\x82"), u"\uFFFD");
  EXPECT_EQ(utf8_to_utf16("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(utf8_to_utf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(utf8_to_utf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  // The character after a broken sequence is kept.
  EXPECT_EQ(utf8_to_utf16("\xE2\x82" "A"), u"\uFFFDA");
}
