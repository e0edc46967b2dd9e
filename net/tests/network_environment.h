#pragma once
// Starts Windows Sockets once per test program that talks over loopback.
#include <gtest/gtest.h>

#include "net/connection.h"

class NetworkEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(init_network(), 1); }
  void TearDown() override { end_network(); }
};

inline ::testing::Environment* const network_environment =
    ::testing::AddGlobalTestEnvironment(new NetworkEnvironment);
