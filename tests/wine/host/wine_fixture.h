// The test fixture: every test runs once per architecture, each with its own
// cross build and Wine prefix, made ready once per test program.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "hotfix_case.h"
#include "wine_prefix.h"

namespace wine_harness {

class HotfixWineTest : public ::testing::TestWithParam<Arch> {
 protected:
  void SetUp() override;

  // A machine the fix applies to, for this test (see HotfixCase).
  HotfixCase hotfix_case() const;
  const Builds& builds() const { return builds_; }
  const WinePrefix& prefix() const { return *prefix_; }

 private:
  WinePrefix* prefix_ = nullptr;
  Builds builds_;
};

std::string arch_test_name(const ::testing::TestParamInfo<Arch>& info);

}  // namespace wine_harness

#define HOTFIX_WINE_TEST_SUITE(suite)                                                         \
  INSTANTIATE_TEST_SUITE_P(Wine, suite,                                                       \
                           ::testing::Values(::wine_harness::Arch::i686,                      \
                                             ::wine_harness::Arch::x86_64),                   \
                           ::wine_harness::arch_test_name)
