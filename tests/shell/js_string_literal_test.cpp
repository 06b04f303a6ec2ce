#include <gtest/gtest.h>

#include "shell/js_string_literal.h"

TEST(JsStringLiteral, EscapesEverythingThatCouldEndOrBreakTheLiteral) {
  EXPECT_EQ(js_string_literal(""), "\"\"");
  EXPECT_EQ(js_string_literal("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(js_string_literal("1\n2\r3\t4"), "\"1\\n2\\r3\\t4\"");
  EXPECT_EQ(js_string_literal(std::string("x\0y\x1F\x7F\x01", 6)), "\"x\\u0000y\\u001f\\u007f\\u0001\"");
  EXPECT_EQ(js_string_literal("a\xE2\x80\xA8" "b\xE2\x80\xA9"), "\"a\\u2028b\\u2029\"");
}

TEST(JsStringLiteral, PassesOtherTextThrough) {
  EXPECT_EQ(js_string_literal("7:Café 日本 😀 ' ` ${x} </script>"), "\"7:Café 日本 😀 ' ` ${x} </script>\"");
  // Other characters of the same lead byte are not separators.
  EXPECT_EQ(js_string_literal("\xE2\x80\xA6\xE2\x82\xAC"), "\"\xE2\x80\xA6\xE2\x82\xAC\"");
}
