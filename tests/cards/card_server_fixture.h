#pragma once
// The worker and the card server running inside the test process, on a free loopback
// port, with a small contest open: contestants 1011 "Ann" and 1012 "Ben", classes 3
// "Cows" and 4 "Sheep".
#include <gtest/gtest.h>
#include <httplib.h>

#include <string>

#include "dispatch/function_table.h"
#include "tests/support/fields.h"
#include "support/loopback_port.h"

// Starts the worker with the real function table plus "test_hold" (see hold_worker).
void start_worker();
void stop_worker();

// Starts run_http_server on 127.0.0.1 and waits until it answers; returns the port.
int start_card_server();
void stop_card_server();

// Keeps the worker busy in an operation until release_worker, so card items queue.
void hold_worker();
void release_worker();

// Creates and opens a contest in a new temporary folder; close_test_contest removes it.
void open_test_contest();
void close_test_contest();
std::string query_contest(const std::string& sql);  // first column of the first row

std::size_t pending_count();

// A suite sharing one worker and one card server, started before its first test and
// stopped after its last; each test starts from the real function table (undoing a
// test's stand-in operations).
class CardServerSuite : public ::testing::Test {
 protected:
  static inline int port = 0;

  static void SetUpTestSuite() {
    start_worker();
    port = start_card_server();
  }
  static void TearDownTestSuite() {
    stop_card_server();
    stop_worker();
  }
  void SetUp() override { initialize_functions(); }
};
