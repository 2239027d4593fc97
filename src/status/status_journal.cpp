#include "status/status_journal.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "base/text.h"
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

// A name as the history shows it: a control character, which the row was refused for, as a space.
std::u16string Shown(std::u16string text) {
  for (char16_t& ch : text) {
    if (ch < u' ' || ch == u'\x7F') ch = u' ';
  }
  return text;
}

std::u16string_view RefusalWords(RowRefusal why) {
  switch (why) {
    case RowRefusal::kNone:
      break;
    case RowRefusal::kControlCharacter:
      return u"含有控制字符";
    case RowRefusal::kServiceHost:
      return u"是本程序所用服务器的名称";
    case RowRefusal::kProxyDiscovery:
      return u"代理自动发现（WPAD）的名称";
    case RowRefusal::kTunnelDiscovery:
      return u"ISATAP 隧道发现的名称";
    case RowRefusal::kLocalHost:
      return u"本机名称 localhost";
    case RowRefusal::kComputerName:
      return u"本机的计算机名";
    case RowRefusal::kOtherHost:
      return u"本程序所用的主机";
  }
  return {};
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
  for (std::size_t i = 0; i < model.rows.size(); ++i) {
    const MappingRow row = model.rows[i];
    AppendLine(text, {row.host, row.address, row.effect});
  }
  AppendLine(text, {u"历史"});
  AppendLine(text, {u"时间", u"结果", u"变化"});
  for (const HistoryRow& row : model.history) AppendLine(text, {row.time, row.result, row.change});
  return text;
}

MappingRow MappingRows::operator[](std::size_t index) const {
  const DomainMapping& mapping = (*list_)[index];
  return {code_page_->Decode(mapping.host), code_page_->Decode(mapping.address),
          proofs_ && index < proofs_->size() ? ProofText((*proofs_)[index]) : u""};
}

std::vector<std::u16string> RefusedRowLines(const DomainList& list, const RefusedHosts& refused,
                                            const AnsiCodePage& code_page) {
  std::vector<std::u16string> lines;
  std::size_t more = 0;
  for (const DomainMapping& mapping : list) {
    const RowRefusal why = RefusalOf(mapping, refused);
    if (why == RowRefusal::kNone) continue;
    if (lines.size() == kRefusedRowsShown) {
      ++more;
      continue;
    }
    lines.push_back(u"未写入 " + Shown(code_page.Decode(mapping.host)) + u" " +
                    Shown(code_page.Decode(mapping.address)) + u"：" +
                    std::u16string(RefusalWords(why)));
  }
  if (more > 0) lines.push_back(u"另有 " + DecimalText(more) + u" 条映射未写入");
  return lines;
}

void StatusJournal::Record(TimeOfDay at, std::u16string_view result,
                           const SharedDomainList& written) {
  JournalEntry entry{at, std::u16string(result), {}, false};
  if (written) {
    entry.change = ChangeText(CountChanges(held_ ? *held_ : DomainList{}, *written));
    held_ = written;
    proofs_.reset();
  }
  last_wrote_ = written != nullptr;
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
  if (held_ && proofs.size() == held_->size()) {
    proofs_ = std::make_shared<const std::vector<RowProof>>(std::move(proofs));
  }
}

std::u16string StatusJournal::UnprovenNote() const {
  return last_wrote_ && proofs_ ? kalvane::UnprovenNote(CountUnproven(*proofs_)) : std::u16string();
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

void StatusJournal::Note(TimeOfDay at, std::u16string_view text) {
  entries_.push_front({at, std::u16string(text), {}, false});
  if (entries_.size() > kHistoryCapacity) entries_.pop_back();
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
  model.rows = MappingRows(held_, proofs_, code_page);
  model.history = History();
  return model;
}

}  // namespace kalvane
