#include "status/row_proof.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalvane {
namespace {

TEST(RowProof, JudgesEachRowByTheAnswerOfItsName) {
  using Addresses = std::vector<std::u16string>;
  struct Case {
    std::u16string address;
    NameAnswer answer;
    std::u16string text;
  };
  const Case cases[] = {
      {u"10.0.0.1", Addresses{u"10.0.0.1"}, u"是"},
      {u"10.0.0.1", Addresses{u"::1", u"10.0.0.1"}, u"是"},
      {u"fe80::a", Addresses{u"FE80::A"}, u"是"},  // addresses compare without letter case
      {u"10.0.0.1", Addresses{u"10.0.0.9"}, u"否：解析为 10.0.0.9"},
      {u"10.0.0.1", Addresses{u"10.0.0.10"}, u"否：解析为 10.0.0.10"},  // no prefix match
      {u"10.0.0.1", Addresses{u"::1", u"10.0.0.9"}, u"否：解析为 ::1, 10.0.0.9"},
      {u"10.0.0.1", Addresses{u"10.0.0.2", u"10.0.0.3", u"10.0.0.4", u"10.0.0.5", u"10.0.0.6"},
       u"否：解析为 10.0.0.2, 10.0.0.3, 10.0.0.4 等 5 个"},
      {u"10.0.0.1", std::nullopt, u"否：无法解析"},
      {u"10.0.0.1", Addresses{}, u"否：无法解析"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ProofText(JudgeRow(cases[i].address, cases[i].answer)), cases[i].text) << i;
  }
  EXPECT_EQ(ProofText({}), u"") << "pending";
}

TEST(RowProof, RunsEachNameOnceAndBounded) {
  ProofRun run({{u"a.example", u"10.0.0.1"},
                {u"B.example", u"10.0.0.2"},
                {u"b.EXAMPLE", u"10.0.0.3"},  // the same name: one look-up, two verdicts
                {u"c.example", u"10.0.0.4"}},
               2);
  EXPECT_EQ(run.NextName(), u"a.example");
  EXPECT_EQ(run.NextName(), u"b.example");
  EXPECT_EQ(run.NextName(), std::nullopt) << "two at a time";
  EXPECT_FALSE(run.Done());

  run.Answer(u"b.example", std::vector<std::u16string>{u"10.0.0.2"});
  run.Answer(u"b.example", std::nullopt);  // a second answer changes nothing
  run.Answer(u"x.example", std::nullopt);  // nor one that was never asked
  EXPECT_EQ(run.NextName(), u"c.example");
  EXPECT_EQ(run.NextName(), std::nullopt) << "each name is handed out once";
  run.Answer(u"c.example", std::vector<std::u16string>{u"10.0.0.9"});
  EXPECT_FALSE(run.Done());
  EXPECT_EQ(run.Proofs()[0].verdict, ProofVerdict::kPending);

  run.GiveUp();  // a.example took too long
  ASSERT_TRUE(run.Done());
  const std::vector<RowProof> proofs = run.Proofs();
  std::vector<ProofVerdict> verdicts;
  for (const RowProof& proof : proofs) verdicts.push_back(proof.verdict);
  EXPECT_EQ(verdicts, (std::vector<ProofVerdict>{
                          ProofVerdict::kUnresolved, ProofVerdict::kTakesEffect,
                          ProofVerdict::kResolvesElsewhere, ProofVerdict::kResolvesElsewhere}));
  EXPECT_EQ(CountUnproven(proofs), 3u);
  EXPECT_EQ(UnprovenNote(CountUnproven(proofs)), u"3 条映射未生效");
  EXPECT_EQ(UnprovenNote(0), u"");
}

}  // namespace
}  // namespace kalvane
