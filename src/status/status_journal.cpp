#include "status/status_journal.h"

#include "status/change_count.h"
#include "sync/hosts_section.h"

namespace kalvane {
namespace {

void AppendLine(std::u16string& out, std::initializer_list<std::u16string_view> fields) {
  bool first = true;
  for (std::u16string_view field : fields) {
    if (!first) out += u'\t';
    out += FieldText(field);
    first = false;
  }
  out += u"\r\n";
}

}  // namespace

std::u16string FieldText(std::u16string_view text) {
  std::u16string field(text);
  for (char16_t& ch : field) {
    if (ch == u'\t' || ch == u'\r' || ch == u'\n') ch = u' ';
  }
  return field;
}

std::u16string StatusReportText(const StatusModel& model) {
  std::u16string text;
  AppendLine(text, {model.outcome, model.next_due});
  AppendLine(text, {u"当前映射"});
  AppendLine(text, {u"名称", u"地址", u"生效"});
  for (const MappingRow& row : model.rows) AppendLine(text, {row.host, row.address, row.effect});
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
  JournalEntry entry{at, std::u16string(result), {}, false};
  if (written) {
    entry.change = ChangeText(CountChanges(held_, *written));
    held_ = *written;
    proofs_.assign(held_.size(), RowProof{});
  }
  last_wrote_ = written.has_value();
  last_ = entry;
  entries_.push_front(std::move(entry));
  if (entries_.size() > kHistoryCapacity) entries_.pop_back();
}

void StatusJournal::LoadEarlier(std::vector<JournalEntry> earlier) {
  for (JournalEntry& entry : earlier) {
    if (entries_.size() >= kHistoryCapacity) break;
    entry.earlier_run = true;
    entries_.push_back(std::move(entry));
  }
}

void StatusJournal::SetProofs(std::vector<RowProof> proofs) {
  if (proofs.size() == held_.size()) proofs_ = std::move(proofs);
}

std::u16string StatusJournal::UnprovenNote() const {
  return last_wrote_ ? kalvane::UnprovenNote(CountUnproven(proofs_)) : std::u16string();
}

std::vector<HistoryRow> StatusJournal::History() const {
  std::vector<HistoryRow> rows;
  rows.reserve(entries_.size());
  for (const JournalEntry& entry : entries_) {
    rows.push_back({entry.earlier_run ? DateTimeText(entry.at) : TimeOfDayText(entry.at),
                    entry.result, entry.change});
  }
  return rows;
}

StatusModel StatusJournal::Model(const AnsiCodePage& code_page) const {
  StatusModel model;
  if (last_) {
    const std::u16string note = UnprovenNote();
    model.outcome = last_->result + (note.empty() ? u"" : u"，" + note) + StatusLineTime(last_->at);
  }
  if (next_due_) {
    model.next_due = (next_is_retry_ ? u"下次重试：" : u"下次更新：") + TimeOfDayText(*next_due_);
  }
  model.rows.reserve(held_.size());
  for (std::size_t i = 0; i < held_.size(); ++i) {
    model.rows.push_back({code_page.Decode(held_[i].host), code_page.Decode(held_[i].address),
                          i < proofs_.size() ? ProofText(proofs_[i]) : u""});
  }
  model.history = History();
  return model;
}

}  // namespace kalvane
