#pragma once
// Reads a page file as the program embeds it: a line that is exactly <!--#include NAME--> is
// replaced by the file NAME beside the page. The build tool and the page text test share it.
#include <string>

// False, with the reason on standard error, when the page or one of its parts cannot be read.
bool read_page_with_includes(const std::string& path, std::string& out);
