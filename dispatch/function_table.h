#pragma once
// Maps each operation name of the page-host protocol and of the card API to its operation.
#include <functional>
#include <string>
#include <unordered_map>

using Operation = std::function<std::string(const std::string&)>;
using FunctionTable = std::unordered_map<std::string, Operation>;

// Filled once by initialize_functions before the worker or the server starts; only the worker reads it.
extern FunctionTable function_table;

// Stores the pair; a name registered again replaces the older operation.
void register_function(const std::string& name, Operation operation);

// Registers the 30 operations in their fixed order, and points the card API at the command
// queue.
void initialize_functions();
