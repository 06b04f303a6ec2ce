#include "pages/page_texts.h"

#include <cstddef>

#include "shell/text_conversion.h"

extern const char main_page_utf8[];
extern const std::size_t main_page_utf8_size;
extern const char placing_card_page_text[];
extern const std::size_t placing_card_page_text_size;
extern const char reasons_card_page_text[];
extern const std::size_t reasons_card_page_text_size;

const std::u16string main_page = utf8_to_utf16(std::string(main_page_utf8, main_page_utf8_size));
const std::string placing_card_page(placing_card_page_text, placing_card_page_text_size);
const std::string reasons_card_page(reasons_card_page_text, reasons_card_page_text_size);
