#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "platform/text.h"

namespace {

TEST(Decimal, WritesEveryRangeTheLogUses) {
  const struct {
    long long value;
    const char16_t* text;
  } cases[] = {
      {0, u"0"},
      {9, u"9"},
      {10, u"10"},
      {-1, u"-1"},
      {65535, u"65535"},
      {65536, u"65536"},
      {3010, u"3010"},
      {INT32_MIN, u"-2147483648"},
      {UINT32_MAX, u"4294967295"},
      {4294967296LL, u"4294967296"},
      {LLONG_MAX, u"9223372036854775807"},
      {LLONG_MIN, u"-9223372036854775808"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::Decimal(c.value), c.text) << c.value;
}

}  // namespace
