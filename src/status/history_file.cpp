#include "status/history_file.h"

#include <optional>
#include <utility>

#include "base/file_path.h"
#include "base/text.h"

namespace kalvane {
namespace {

constexpr std::u16string_view kHeader = u"Kalvane history 1";
constexpr std::u16string_view kEnd = u"end ";
constexpr std::u16string_view kRowEnd = u"\r\n";
constexpr char16_t kByteOrderMark = 0xFEFF;

void AppendUtf16(std::string& out, std::u16string_view text) {
  for (const char16_t ch : text) {
    out.push_back(static_cast<char>(ch & 0xFF));
    out.push_back(static_cast<char>(ch >> 8));
  }
}

// Two decimal digits at `at` of `text`, or nothing.
std::optional<int> TwoDigitsAt(std::u16string_view text, std::size_t at) {
  if (at + 2 > text.size()) return std::nullopt;
  const char16_t high = text[at];
  const char16_t low = text[at + 1];
  if (high < u'0' || high > u'9' || low < u'0' || low > u'9') return std::nullopt;
  return (high - u'0') * 10 + (low - u'0');
}

// "MM-DD HH:MM:SS", each part within its range.
std::optional<TimeOfDay> ParseDateTime(std::u16string_view text) {
  if (text.size() != 14 || text[2] != u'-' || text[5] != u' ' || text[8] != u':' ||
      text[11] != u':') {
    return std::nullopt;
  }
  const auto month = TwoDigitsAt(text, 0), day = TwoDigitsAt(text, 3), hour = TwoDigitsAt(text, 6),
             minute = TwoDigitsAt(text, 9), second = TwoDigitsAt(text, 12);
  if (!month || !day || !hour || !minute || !second || *month < 1 || *month > 12 || *day < 1 ||
      *day > 31 || *hour > 23 || *minute > 59 || *second > 60) {
    return std::nullopt;
  }
  return TimeOfDay{*hour, *minute, *second, *month, *day};
}

std::optional<JournalEntry> ParseRow(std::u16string_view line) {
  const std::size_t first = line.find(u'\t');
  if (first == std::u16string_view::npos) return std::nullopt;
  const std::size_t second = line.find(u'\t', first + 1);
  if (second == std::u16string_view::npos || line.find(u'\t', second + 1) != line.npos) {
    return std::nullopt;
  }
  const std::optional<TimeOfDay> at = ParseDateTime(line.substr(0, first));
  if (!at) return std::nullopt;
  return JournalEntry{*at, std::u16string(line.substr(first + 1, second - first - 1)),
                      std::u16string(line.substr(second + 1)), true};
}

const Status kRejected = Status::Failure(StatusKind::kRejected);

}  // namespace

std::string EncodeHistory(const std::deque<JournalEntry>& entries) {
  std::u16string text(1, kByteOrderMark);
  text.append(kHeader).append(kRowEnd);
  // Room for the last line with the largest count.
  const std::size_t end_room = (kEnd.size() + 4 + kRowEnd.size()) * 2;
  std::size_t rows = 0;
  for (const JournalEntry& entry : entries) {
    if (rows == kHistoryFileRows) break;
    const std::u16string line = DateTimeText(entry.at) + u"\t" + FieldText(entry.result) + u"\t" +
                                FieldText(entry.change) + std::u16string(kRowEnd);
    if ((text.size() + line.size()) * 2 + end_room > kHistoryFileBytes) break;
    text += line;
    ++rows;
  }
  text.append(kEnd).append(DecimalText(rows)).append(kRowEnd);
  std::string bytes;
  bytes.reserve(text.size() * 2);
  AppendUtf16(bytes, text);
  return bytes;
}

Result<std::vector<JournalEntry>> DecodeHistory(std::string_view bytes) {
  if (bytes.size() > kHistoryFileBytes || bytes.size() % 2 != 0) return kRejected;
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  std::u16string_view rest(text);
  if (rest.empty() || rest.front() != kByteOrderMark) return kRejected;
  rest.remove_prefix(1);

  std::vector<std::u16string_view> lines;
  while (!rest.empty()) {
    const std::size_t end = rest.find(kRowEnd);
    if (end == rest.npos) return kRejected;  // the last line is cut
    lines.push_back(rest.substr(0, end));
    rest.remove_prefix(end + kRowEnd.size());
  }
  // A header of ours with another version is a later program's: not read, not mixed in.
  if (lines.size() < 2 || lines.front() != kHeader) return kRejected;
  const std::u16string_view last = lines.back();
  if (!last.starts_with(kEnd)) return kRejected;
  std::string count;
  for (const char16_t ch : last.substr(kEnd.size())) {
    if (ch > 0x7F) return kRejected;
    count.push_back(static_cast<char>(ch));
  }
  const std::optional<std::uint64_t> rows = ParseDecimal(count);
  if (!rows || *rows != lines.size() - 2 || *rows > kHistoryFileRows) return kRejected;

  std::vector<JournalEntry> entries;
  entries.reserve(lines.size() - 2);
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    std::optional<JournalEntry> entry = ParseRow(lines[i]);
    if (!entry) return kRejected;
    entries.push_back(std::move(*entry));
  }
  return entries;
}

std::vector<JournalEntry> HistoryFile::Load() {
  if (path_.empty()) return {};
  Result<std::string> bytes = files_.ReadWhole(path_);
  if (!bytes && bytes.status().kind() == StatusKind::kNotFound) return {};
  if (bytes) {
    Result<std::vector<JournalEntry>> entries = DecodeHistory(*bytes);
    if (entries && !files_.OpenToOthers(path_)) return std::move(entries).value();
  }
  FilePath aside = path_;
  aside += L".bad";  // wide: joins a Windows path without the locale's conversion
  (void)files_.MoveReplacing(path_, aside);  // best effort: the next save replaces it anyway
  return {};
}

Status HistoryFile::Save(const std::deque<JournalEntry>& entries) {
  if (path_.empty()) return Status::Failure(StatusKind::kNotFound);
  FilePath stem = path_;
  stem += L".new";
  return ReplaceThroughFreshTemporary(files_, path_, stem, EncodeHistory(entries));
}

}  // namespace kalvane
