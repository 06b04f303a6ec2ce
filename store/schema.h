#pragma once
#include <string>

// The script run once on every new contest database: pragmas, tables and triggers.
extern const std::string schema_sql;
