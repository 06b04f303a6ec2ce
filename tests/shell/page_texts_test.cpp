#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "pages/page_texts.h"
#include "shell/text_conversion.h"

TEST(MainPageText, HoldsThePageFileWithEveryCharacterIntact) {
  const char* source = std::getenv("SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::ifstream in(std::string(source) + "/pages/main.html", std::ios::binary);
  ASSERT_TRUE(in);
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(main_page.empty());
  EXPECT_EQ(main_page.find(u'\uFFFD'), std::u16string::npos);
  EXPECT_EQ(utf16_to_utf8(main_page), file);
}
