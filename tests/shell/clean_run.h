#pragma once
// Each test runs the application from a clean slate: the stand-in layer, an empty queue, a
// clear stop flag, no contest open, and a HOME of its own.
#include <gtest/gtest.h>

#include <string>

class CleanRun : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string home;
};
