#include "pages/page_texts.h"

#include <cstddef>

// Embedded at build time; the main page already as UTF-16.
extern const char16_t main_page_utf16[];
extern const std::size_t main_page_utf16_size;
extern const char placing_card_page_text[];
extern const std::size_t placing_card_page_text_size;
extern const char reasons_card_page_text[];
extern const std::size_t reasons_card_page_text_size;

const std::u16string main_page(main_page_utf16, main_page_utf16_size);
const std::string placing_card_page(placing_card_page_text, placing_card_page_text_size);
const std::string reasons_card_page(reasons_card_page_text, reasons_card_page_text_size);
