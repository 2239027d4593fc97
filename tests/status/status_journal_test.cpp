#include "status/status_journal.h"

#include <gtest/gtest.h>

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

  const DomainList first{{"a.example", "10.0.0.1"}, {"b.example", "10.0.0.2"}};
  const DomainList second{{"a.example", "10.0.0.9"}, {"c\xe9.example", "10.0.0.3"}};
  journal.Record({8, 5, 9}, u"已更新 2 条映射", first);
  journal.Record({8, 10, 9}, u"无法连接服务器：连接被拒绝", std::nullopt);
  journal.Record({8, 15, 9}, u"已更新 2 条映射", second);
  journal.SetNextDue(TimeOfDay{8, 20, 10});

  const StatusModel model = journal.Model(code_page);
  EXPECT_EQ(model.outcome, u"已更新 2 条映射 (08:15)");
  EXPECT_EQ(model.next_due, u"下次更新：08:20:10");
  const std::vector<MappingRow> rows{{u"a.example", u"10.0.0.9"},
                                     {u"c\u00e9.example", u"10.0.0.3"}};
  EXPECT_EQ(model.rows, rows);
  const std::vector<HistoryRow> history{
      {u"08:15:09", u"已更新 2 条映射", u"+1 -1 ~1"},
      {u"08:10:09", u"无法连接服务器：连接被拒绝", u""},
      {u"08:05:09", u"已更新 2 条映射", u"+2 -0 ~0"},
  };
  EXPECT_EQ(model.history, history);

  // The bound: the oldest events go first.
  for (int i = 0; i < 300; ++i) {
    journal.Record({i / 3600, i / 60 % 60, i % 60}, u"已更新 2 条映射", second);
  }
  ASSERT_EQ(journal.History().size(), kHistoryCapacity);
  EXPECT_EQ(journal.History().front().time, u"00:04:59");  // event 299
  EXPECT_EQ(journal.History().back().time, u"00:01:40");   // event 100
  EXPECT_EQ(journal.History().front().change, u"+0 -0 ~0");
  journal.SetNextDue(std::nullopt);
  EXPECT_EQ(journal.Model(code_page).next_due, u"");
}

TEST(StatusJournal, ReportsTheModelAsTabSeparatedLines) {
  StatusModel model;
  model.outcome = u"无法连接服务器：连接超时 (08:10)";
  model.next_due = u"下次更新：08:10:20";
  model.rows = {{u"a.example", u"10.0.0.1"}, {u"tab\there", u"10.0.0.2"}};
  model.history = {{u"08:10:09", u"无法连接服务器：连接超时", u""}};
  EXPECT_EQ(StatusReportText(model),
            u"无法连接服务器：连接超时 (08:10)\t下次更新：08:10:20\r\n"
            u"当前映射\r\n名称\t地址\r\na.example\t10.0.0.1\r\ntab here\t10.0.0.2\r\n"
            u"历史\r\n时间\t结果\t变化\r\n08:10:09\t无法连接服务器：连接超时\t\r\n");
}

TEST(StatusJournal, TakesTheWrittenRowsOfACycleThatWroteOrKeptTheSection) {
  const DomainList list{{"a.example", "10.0.0.1"},
                        {"dns.kalvane.example", "10.6.6.6"},
                        {"b.example", "10.0.0.2\n127.0.0.1 evil"}};
  const DomainList written{{"a.example", "10.0.0.1"}};
  struct Case {
    std::optional<HostsOutcome> hosts;
    bool recorded;
  };
  const Case cases[] = {{HostsOutcome::kWritten, true},       {HostsOutcome::kUnchanged, true},
                        {HostsOutcome::kNotTouched, false},   {HostsOutcome::kReplaceFailed, false},
                        {HostsOutcome::kHostsMissing, false}, {std::nullopt, false}};
  for (const Case& c : cases) {
    CycleReport report;
    if (c.hosts) report.hosts = HostsStepReport{*c.hosts, 0, 1};
    const auto rows = RowsAfterCycle(report, list, "dns.kalvane.example");
    EXPECT_EQ(rows.has_value(), c.recorded) << static_cast<int>(c.hosts.value_or(HostsOutcome{}));
    EXPECT_EQ(rows.value_or(written), written);
  }
}

}  // namespace
}  // namespace kalvane
