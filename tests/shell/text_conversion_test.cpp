#include <gtest/gtest.h>

#include "shell/text_conversion.h"

TEST(TextConversion, EmptyStaysEmpty) {
  EXPECT_EQ(utf16_to_utf8(u""), "");
  EXPECT_EQ(utf8_to_utf16(""), u"");
}

TEST(TextConversion, RoundTripsEveryPlane) {
  EXPECT_EQ(utf16_to_utf8(u"Café"), "Caf\xC3\xA9");
  EXPECT_EQ(utf16_to_utf8(u"Café").size(), 5u);
  EXPECT_EQ(utf8_to_utf16("Caf\xC3\xA9"), u"Café");
  const std::u16string mixed = u"a ß € 日本 😀 \x7F \u07FF \u0800 \uFFFF \U0010FFFF";
  EXPECT_EQ(utf8_to_utf16(utf16_to_utf8(mixed)), mixed);
  EXPECT_EQ(utf16_to_utf8(u"😀"), "\xF0\x9F\x98\x80");
}

TEST(TextConversion, StopsAtTheFirstNul) {
  EXPECT_EQ(utf16_to_utf8(std::u16string(u"ab\0cd", 5)), "ab");
  EXPECT_EQ(utf8_to_utf16(std::string("ab\0cd", 5)), u"ab");
  EXPECT_EQ(utf8_to_utf16(std::string("\0x", 2)), u"");
}

TEST(TextConversion, InvalidInputBecomesTheReplacementCharacter) {
  // Unpaired surrogates, at the end, in the middle, and a low one alone.
  EXPECT_EQ(utf16_to_utf8(std::u16string(u"a") + char16_t(0xD800)), "a\xEF\xBF\xBD");
  EXPECT_EQ(utf16_to_utf8(std::u16string(1, char16_t(0xD83D)) + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(utf16_to_utf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
  // A stray byte, a cut sequence, an overlong form, an encoded surrogate, past U+10FFFF.
  EXPECT_EQ(utf8_to_utf16("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(utf8_to_utf16("\xE2\x82"), u"\uFFFD");
  EXPECT_EQ(utf8_to_utf16("\xE2\x82x"), u"\uFFFDx");
  EXPECT_EQ(utf8_to_utf16("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(utf8_to_utf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(utf8_to_utf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
}
