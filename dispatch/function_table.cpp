#include "dispatch/function_table.h"

#include "cards/card_api.h"
#include "cards/card_links.h"
#include "dispatch/command_queue.h"
#include "store/operations.h"

FunctionTable function_table;

void register_function(const std::string& name, Operation operation) {
  function_table.insert_or_assign(name, std::move(operation));
}

void initialize_functions() {
  // The card server lies below the dispatch and knows nothing of its queue: it is handed the
  // queue here, before the server that uses it starts.
  queue_card_command = push_card_command;
  register_function("create_contest", [](const std::string& a) { return create_contest(a); });
  register_function("open_contest", [](const std::string& a) { return open_contest(a); });
  register_function("save_division", [](const std::string& a) { return save_division(a); });
  register_function("fetch_divisions", [](const std::string& a) { return fetch_divisions(a); });
  register_function("delete_division", [](const std::string& a) { return delete_division(a); });
  register_function("save_team", [](const std::string& a) { return save_team(a); });
  register_function("fetch_teams", [](const std::string& a) { return fetch_teams(a); });
  register_function("delete_team", [](const std::string& a) { return delete_team(a); });
  register_function("call_save_contestant", [](const std::string& a) { return save_contestant(a); });
  register_function("fetch_contestants", [](const std::string& a) { return fetch_contestants(a); });
  register_function("fetch_contestant_counts", [](const std::string& a) { return fetch_contestant_counts(a); });
  register_function("delete_contestant", [](const std::string& a) { return delete_contestant(a); });
  register_function("save_class_type", [](const std::string& a) { return save_class_type(a); });
  register_function("fetch_class_types", [](const std::string& a) { return fetch_class_types(a); });
  register_function("delete_class_type", [](const std::string& a) { return delete_class_type(a); });
  register_function("save_class", [](const std::string& a) { return save_class(a); });
  register_function("fetch_classes", [](const std::string& a) { return fetch_classes(a); });
  register_function("delete_class", [](const std::string& a) { return delete_class(a); });
  register_function("fetch_wifi_addresses", [](const std::string& a) { return fetch_wifi_addresses(a); });
  register_function("save_placing", [](const std::string& a) { return save_placing(a); });
  register_function("fetch_placings", [](const std::string& a) { return fetch_placings(a); });
  register_function("fetch_placing_counts", [](const std::string& a) { return fetch_placing_counts(a); });
  register_function("delete_placing", [](const std::string& a) { return delete_placing(a); });
  register_function("fetch_indiv_scores", [](const std::string& a) { return fetch_indiv_scores(a); });
  register_function("fetch_indiv_rankings", [](const std::string& a) { return fetch_indiv_rankings(a); });
  register_function("fetch_team_rankings", [](const std::string& a) { return fetch_team_rankings(a); });
  register_function("fetch_card_names", [](const std::string& a) { return fetch_card_names(a); });
  register_function("fetch_card_names_and_placing", [](const std::string& a) { return fetch_card_names_and_placing(a); });
  register_function("save_card_placing", [](const std::string& a) { return save_card_placing(a); });
  register_function("save_card_reasons", [](const std::string& a) { return save_card_reasons(a); });
}
