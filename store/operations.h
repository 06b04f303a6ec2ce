#pragma once
// Every operation of the contest database: argument text in, result text out.
#include <string>

// Contest creation and opening.
std::string create_contest(const std::string& name);
std::string open_contest(const std::string& ignored);

// Setup records.
std::string save_division(const std::string& args);
std::string fetch_divisions(const std::string& ignored);
std::string delete_division(const std::string& key);
std::string save_team(const std::string& args);
std::string fetch_teams(const std::string& ignored);
std::string delete_team(const std::string& key);
std::string save_contestant(const std::string& args);
std::string fetch_contestants(const std::string& ignored);
std::string fetch_contestant_counts(const std::string& ignored);
std::string delete_contestant(const std::string& key);
std::string save_class_type(const std::string& args);
std::string fetch_class_types(const std::string& ignored);
std::string delete_class_type(const std::string& key);
std::string save_class(const std::string& args);
std::string fetch_classes(const std::string& ignored);
std::string delete_class(const std::string& key);

// Placings.
std::string save_placing(const std::string& args);
std::string fetch_placings(const std::string& ignored);
std::string fetch_placing_counts(const std::string& ignored);
std::string delete_placing(const std::string& key);

// Scores and rankings.
std::string fetch_indiv_scores(const std::string& ignored);
std::string fetch_indiv_rankings(const std::string& ignored);
std::string fetch_team_rankings(const std::string& ignored);

// Card queries and card saves.
std::string fetch_card_names(const std::string& args);
std::string fetch_card_names_and_placing(const std::string& args);
std::string save_card_placing(const std::string& args);
std::string save_card_reasons(const std::string& args);
