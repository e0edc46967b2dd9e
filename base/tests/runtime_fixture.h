#pragma once
// Starts the heaps the runtime's records come from, once per test program.
#include <gtest/gtest.h>

#include "base/heap.h"
#include "base/text.h"
#include "base/threads.h"

class RuntimeEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(create_program_heap());
    ASSERT_TRUE(init_text());
    ASSERT_TRUE(init_lists());
    init_threads();
  }
};

inline ::testing::Environment* const runtime_environment =
    ::testing::AddGlobalTestEnvironment(new RuntimeEnvironment);
