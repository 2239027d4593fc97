#include "status/row_proof-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace kalvane {
namespace {

TEST(RowProofs, CanonicalAddressesAreTheResolversOwnText) {
  EXPECT_EQ(CanonicalAddress(u"10.0.0.1"), u"10.0.0.1");
  EXPECT_EQ(CanonicalAddress(u"0:0:0::1"), u"::1");
  EXPECT_EQ(CanonicalAddress(u"FE80:0::A"), u"fe80::a");
  EXPECT_EQ(CanonicalAddress(u"not an address"), u"not an address");
}

// The system's resolver, asynchronously, without the window waiting: the verdicts arrive
// through the thread's message queue.
TEST(RowProofs, ResolvesEachNameThroughTheSystemsResolver) {
  std::optional<std::vector<RowProof>> proven;
  RowProofs proofs(GetModuleHandleW(nullptr), u"dns.kalvane.example",
                   [&](std::vector<RowProof> result) { proven = std::move(result); });
  proofs.Start({{u"localhost", u"127.0.0.1"},
                {u"LOCALHOST", u"10.1.2.3"},
                {u"no-such-name.invalid", u"10.0.0.1"},
                {u"dns.kalvane.example", u"10.6.6.6"}});
  const ULONGLONG deadline = GetTickCount64() + 20000;
  MSG message;
  while (!proven && GetTickCount64() < deadline) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  ASSERT_TRUE(proven);
  ASSERT_EQ(proven->size(), 4u);
  EXPECT_EQ((*proven)[0].verdict, ProofVerdict::kTakesEffect);
  EXPECT_EQ((*proven)[1].verdict, ProofVerdict::kResolvesElsewhere);
  EXPECT_NE(std::ranges::find((*proven)[1].addresses, u"127.0.0.1"), (*proven)[1].addresses.end());
  EXPECT_EQ((*proven)[2].verdict, ProofVerdict::kUnresolved);
  EXPECT_EQ((*proven)[3].verdict, ProofVerdict::kUnresolved) << "the service's name is not asked";
}

}  // namespace
}  // namespace kalvane
