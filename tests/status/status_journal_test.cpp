#include "status/status_journal.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "iconv_code_page.h"
#include "status/change_count.h"

namespace kalvane {
namespace {

TEST(ChangeCount, CountsAddedRemovedAndChangedRows) {
  const DomainMapping a1{"a.example", "10.0.0.1"};
  const DomainMapping a2{"a.example", "10.0.0.2"};
  const DomainMapping b1{"b.example", "10.0.0.1"};
  const DomainMapping c1{"c.example", "10.0.0.3"};
  const DomainMapping upper_a1{"A.Example", "10.0.0.1"};
  struct Case {
    const char* name;
    DomainList before;
    DomainList after;
    std::u16string text;
  };
  const Case cases[] = {
      {"both empty", {}, {}, u"+0 -0 ~0"},
      {"unchanged", {a1, b1}, {a1, b1}, u"+0 -0 ~0"},
      {"order alone changes nothing", {a1, b1, c1}, {c1, a1, b1}, u"+0 -0 ~0"},
      {"first write", {}, {a1, b1}, u"+2 -0 ~0"},
      {"all gone", {a1, b1}, {}, u"+0 -2 ~0"},
      {"address changed", {a1, b1}, {a2, b1}, u"+0 -0 ~1"},
      {"added, removed and changed at once", {a1, b1}, {a2, c1}, u"+1 -1 ~1"},
      {"host letter case is the same name", {a1}, {upper_a1}, u"+0 -0 ~0"},
      {"addresses compare byte for byte", {a1}, {{"a.example", "10.0.0.1 "}}, u"+0 -0 ~1"},
      // Duplicates are rows of their own: the counts add up to the rows written.
      {"a duplicate row appears", {a1}, {a1, a1}, u"+1 -0 ~0"},
      {"a duplicate row goes", {a1, a1, b1}, {a1, b1}, u"+0 -1 ~0"},
      {"host listed twice, one address changed",
       {a1, a2},
       {a1, {"a.example", "10.0.0.9"}},
       u"+0 -0 ~1"},
      {"host listed twice, now once elsewhere", {a1, a2}, {{"a.example", "10.0.0.9"}}, u"+0 -1 ~1"},
      {"host listed twice, both addresses swapped", {a1, a2}, {a2, a1}, u"+0 -0 ~0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ChangeCount count = CountChanges(c.before, c.after);
    EXPECT_EQ(ChangeText(count), c.text);
    EXPECT_EQ(c.before.size() + count.added - count.removed, c.after.size());
  }
}

TEST(StatusJournal, KeepsTheLastEventsNewestFirstWithTheirChange) {
  const testing::IconvCodePage code_page("CP1252");
  StatusJournal journal;
  EXPECT_EQ(journal.Model(code_page).outcome, u"");

  const auto first = std::make_shared<const DomainList>(
      DomainList{{"a.example", "10.0.0.1"}, {"b.example", "10.0.0.2"}});
  const auto second = std::make_shared<const DomainList>(
      DomainList{{"a.example", "10.0.0.9"}, {"c\xe9.example", "10.0.0.3"}});
  journal.Record({8, 5, 9}, u"已更新 2 条映射", first);
  journal.Record({8, 10, 9}, u"无法连接服务器：连接被拒绝", nullptr);
  journal.Record({8, 15, 9}, u"已更新 2 条映射", second);
  journal.SetNextDue(TimeOfDay{8, 20, 10});

  const StatusModel model = journal.Model(code_page);
  EXPECT_EQ(model.outcome, u"已更新 2 条映射 (08:15)");
  EXPECT_EQ(model.next_due, u"下次更新：08:20:10");
  const std::vector<MappingRow> rows{{u"a.example", u"10.0.0.9", u""},
                                     {u"c\u00e9.example", u"10.0.0.3", u""}};
  ASSERT_EQ(model.rows.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(model.rows[i], rows[i]);
  const std::vector<HistoryRow> history{
      {u"08:15:09", u"已更新 2 条映射", u"+1 -1 ~1"},
      {u"08:10:09", u"无法连接服务器：连接被拒绝", u""},
      {u"08:05:09", u"已更新 2 条映射", u"+2 -0 ~0"},
  };
  EXPECT_EQ(model.history, history);

  // The bound: the oldest events go first.
  for (int i = 0; i < 1100; ++i) {
    journal.Record({i / 3600, i / 60 % 60, i % 60}, u"已更新 2 条映射", second);
  }
  ASSERT_EQ(journal.History().size(), kHistoryCapacity);
  EXPECT_EQ(journal.History().front().time, u"00:18:19");  // event 1099
  EXPECT_EQ(journal.History().back().time, u"00:01:40");   // event 100
  EXPECT_EQ(journal.History().front().change, u"+0 -0 ~0");
  journal.SetNextDue(TimeOfDay{8, 20, 10}, /*quick_retry=*/true);
  EXPECT_EQ(journal.Model(code_page).next_due, u"下次重试：08:20:10");
  journal.SetNextDue(std::nullopt);
  EXPECT_EQ(journal.Model(code_page).next_due, u"");
}

TEST(StatusJournal, ReportsTheModelAsTabSeparatedLines) {
  const testing::IconvCodePage code_page("CP1252");
  StatusModel model;
  model.outcome = u"无法连接服务器：连接超时 (08:10)";
  model.next_due = u"下次更新：08:10:20";
  model.rows = MappingRows(std::make_shared<const DomainList>(
                               DomainList{{"a.example", "10.0.0.1"}, {"tab\there", "10.0.0.2"}}),
                           std::make_shared<const std::vector<RowProof>>(
                               std::vector<RowProof>{{ProofVerdict::kTakesEffect, {}}, {}}),
                           code_page);
  model.history = {{u"08:10:09", u"无法连接服务器：连接超时", u""}};
  EXPECT_EQ(StatusReportText(model),
            u"无法连接服务器：连接超时 (08:10)\t下次更新：08:10:20\r\n"
            u"当前映射\r\n名称\t地址\t生效\r\na.example\t10.0.0.1\t是\r\ntab here\t10.0.0.2\t\r\n"
            u"历史\r\n时间\t结果\t变化\r\n08:10:09\t无法连接服务器：连接超时\t\r\n");
}

TEST(StatusJournal, ShowsEarlierRunsBelowWithTheirDateAndTheRowsProof) {
  const testing::IconvCodePage code_page("CP1252");
  StatusJournal journal;
  journal.LoadEarlier({{{23, 59, 1, 12, 31}, u"已更新 1 条映射", u"+1 -0 ~0", false}});
  journal.Record({8, 5, 9, 1, 1}, u"已更新 2 条映射",
                 std::make_shared<const DomainList>(
                     DomainList{{"a.example", "10.0.0.1"}, {"b.example", "10.0.0.2"}}));
  StatusModel model = journal.Model(code_page);
  EXPECT_EQ(model.history,
            (std::vector<HistoryRow>{{u"08:05:09", u"已更新 2 条映射", u"+2 -0 ~0"},
                                     {u"12-31 23:59:01", u"已更新 1 条映射", u"+1 -0 ~0"}}));
  EXPECT_TRUE(journal.Entries().back().earlier_run);
  EXPECT_EQ(model.rows[0].effect, u"") << "the proof is running";

  journal.SetProofs(
      {{ProofVerdict::kTakesEffect, {}}, {ProofVerdict::kResolvesElsewhere, {u"10.9.9.9"}}});
  model = journal.Model(code_page);
  EXPECT_EQ(model.rows[0].effect, u"是");
  EXPECT_EQ(model.rows[1].effect, u"否：解析为 10.9.9.9");
  EXPECT_EQ(model.outcome, u"已更新 2 条映射，1 条映射未生效 (08:05)");
  EXPECT_EQ(journal.UnprovenNote(), u"1 条映射未生效");

  // A later failure is the outcome; the rows keep their verdicts.
  journal.Record({8, 10, 9, 1, 1}, u"无法连接服务器：连接超时", nullptr);
  model = journal.Model(code_page);
  EXPECT_EQ(model.outcome, u"无法连接服务器：连接超时 (08:10)");
  EXPECT_EQ(model.rows[1].effect, u"否：解析为 10.9.9.9");
}

// Refused rows show in the history with why; a flood of them is counted, not listed.
TEST(StatusJournal, NamesTheRowsThatWereNotWrittenAndWhy) {
  const testing::IconvCodePage ascii("ASCII");
  DomainList list{{"a.example", "10.0.0.1"}, {"WPAD", "6.6.6.6"}, {"x\r\ny", "6.6.6.7"}};
  EXPECT_EQ(RefusedRowLines(list, "dns.kalvane.example", ascii),
            (std::vector<std::u16string>{u"未写入 WPAD 6.6.6.6：代理自动发现（WPAD）的名称",
                                         u"未写入 x  y 6.6.6.7：含有控制字符"}));
  list.assign(kRefusedRowsShown + 3, {"localhost", "6.6.6.6"});
  const auto lines = RefusedRowLines(list, {}, ascii);
  ASSERT_EQ(lines.size(), kRefusedRowsShown + 1);
  EXPECT_EQ(lines.back(), u"另有 3 条映射未写入");

  StatusJournal journal;
  journal.Record({12, 0, 0}, u"已更新 1 条映射",
                 std::make_shared<const DomainList>(DomainList{{"a.example", "10.0.0.1"}}));
  journal.Note({12, 0, 0}, lines.front());
  EXPECT_EQ(journal.History().front().result, lines.front());
  EXPECT_EQ(journal.Model(ascii).outcome, u"已更新 1 条映射 (12:00)")
      << "a note leaves the outcome";
}

}  // namespace
}  // namespace kalvane
