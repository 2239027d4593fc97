#include "status/row_proof-win32.h"

#include <gtest/gtest.h>

namespace kalvane {
namespace {

// A row written as "0:0::1" takes effect when the resolver answers "::1".
TEST(RowProofs, CanonicalAddressesAreTheResolversOwnText) {
  EXPECT_EQ(CanonicalAddress(u"10.0.0.1"), u"10.0.0.1");
  EXPECT_EQ(CanonicalAddress(u"0:0:0::1"), u"::1");
  EXPECT_EQ(CanonicalAddress(u"FE80:0::A"), u"fe80::a");
  EXPECT_EQ(CanonicalAddress(u"not an address"), u"not an address");
}

}  // namespace
}  // namespace kalvane
