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

// The Wine prefix of one architecture below build/<root_name>, made ready once
// per test program and stopped at its end; each suite has its own root so
// that suites can run at the same time. Clears drive_c/<scratch> the first
// time, so that only this run's working folders stay. Sets `prefix`, or
// leaves it null after skipping the test (this machine cannot run that Wine;
// a failure instead with HOTFIX_WINE_STRICT=1) or failing it.
void ReadyPrefix(Arch arch, const std::string& root_name, const std::string& scratch,
                 WinePrefix*& prefix);

}  // namespace wine_harness

#define HOTFIX_WINE_TEST_SUITE(suite)                                                         \
  INSTANTIATE_TEST_SUITE_P(Wine, suite,                                                       \
                           ::testing::Values(::wine_harness::Arch::i686,                      \
                                             ::wine_harness::Arch::x86_64),                   \
                           ::wine_harness::arch_test_name)
