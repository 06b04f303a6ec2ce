#pragma once
// The three pages, compiled in and built once at start-up; they never change.
#include <string>

extern const std::u16string main_page;         // UTF-16, loaded into the web view
extern const std::string placing_card_page;    // 7-bit ASCII, served at /placing
extern const std::string reasons_card_page;    // 7-bit ASCII, served at /reasons
