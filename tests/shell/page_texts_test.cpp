#include <gtest/gtest.h>

#include <cstdlib>

#include "pages/page_includes.h"
#include "pages/page_texts.h"
#include "shell/text_conversion.h"

TEST(MainPageText, HoldsThePageFileWithEveryCharacterIntact) {
  const char* source = std::getenv("SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::string file;
  ASSERT_TRUE(read_page_with_includes(std::string(source) + "/pages/main.html", file));
  ASSERT_FALSE(main_page.empty());
  EXPECT_EQ(main_page.find(u'\uFFFD'), std::u16string::npos);
  EXPECT_EQ(utf16_to_utf8(main_page), file);
}
