#include "status/status_journal.h"

#include "status/change_count.h"
#include "sync/hosts_section.h"

namespace kalvane {
namespace {

// Fields go between TABs and lines between CR LFs: neither may come out of a field.
std::u16string Field(std::u16string_view text) {
  std::u16string field(text);
  for (char16_t& ch : field) {
    if (ch == u'\t' || ch == u'\r' || ch == u'\n') ch = u' ';
  }
  return field;
}

void AppendLine(std::u16string& out, std::initializer_list<std::u16string_view> fields) {
  bool first = true;
  for (std::u16string_view field : fields) {
    if (!first) out += u'\t';
    out += Field(field);
    first = false;
  }
  out += u"\r\n";
}

}  // namespace

std::u16string StatusReportText(const StatusModel& model) {
  std::u16string text;
  AppendLine(text, {model.outcome, model.next_due});
  AppendLine(text, {u"当前映射"});
  AppendLine(text, {u"名称", u"地址"});
  for (const MappingRow& row : model.rows) AppendLine(text, {row.host, row.address});
  AppendLine(text, {u"历史"});
  AppendLine(text, {u"时间", u"结果", u"变化"});
  for (const HistoryRow& row : model.history) AppendLine(text, {row.time, row.result, row.change});
  return text;
}

DomainList WrittenRows(const DomainList& list, std::string_view service_host) {
  DomainList written;
  for (const DomainMapping& mapping : list) {
    if (IsWritableMapping(mapping, service_host)) written.push_back(mapping);
  }
  return written;
}

std::optional<DomainList> RowsAfterCycle(const CycleReport& report, const DomainList& list,
                                         std::string_view service_host) {
  if (!report.hosts || (report.hosts->outcome != HostsOutcome::kWritten &&
                        report.hosts->outcome != HostsOutcome::kUnchanged)) {
    return std::nullopt;
  }
  return WrittenRows(list, service_host);
}

void StatusJournal::Record(TimeOfDay at, std::u16string_view result,
                           const std::optional<DomainList>& written) {
  outcome_ = std::u16string(result) + StatusLineTime(at);
  HistoryRow row{TimeOfDayText(at), std::u16string(result), {}};
  if (written) {
    row.change = ChangeText(CountChanges(held_, *written));
    held_ = *written;
  }
  history_.push_front(std::move(row));
  if (history_.size() > kHistoryCapacity) history_.pop_back();
}

StatusModel StatusJournal::Model(const AnsiCodePage& code_page) const {
  StatusModel model;
  model.outcome = outcome_;
  if (next_due_) {
    model.next_due = (next_is_retry_ ? u"下次重试：" : u"下次更新：") + TimeOfDayText(*next_due_);
  }
  model.rows.reserve(held_.size());
  for (const DomainMapping& mapping : held_) {
    model.rows.push_back({code_page.Decode(mapping.host), code_page.Decode(mapping.address)});
  }
  model.history.assign(history_.begin(), history_.end());
  return model;
}

}  // namespace kalvane
