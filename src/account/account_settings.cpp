#include "account/account_settings.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "base/text.h"

namespace kalvane {
namespace {

constexpr std::string_view kUpdatingOn = "True";
constexpr std::size_t kLinesRead = 3;

char16_t UpperHexLetter(char ch) {
  return ch >= 'a' && ch <= 'f' ? static_cast<char16_t>(ch - 'a' + 'A') : static_cast<char16_t>(ch);
}

// Splits off the lines of `bytes`, at most `max_lines` of them. A line ends at CR LF, CR or LF; a
// line end at the very end of the file does not start another line. Splitting the raw bytes is
// safe in the double-byte code pages too: their trail bytes are never CR or LF.
struct Lines {
  std::array<std::string_view, kLinesRead> line;
  std::size_t count = 0;
};

Lines ReadLines(std::string_view bytes) {
  Lines lines;
  std::size_t pos = 0;
  while (pos < bytes.size() && lines.count < kLinesRead) {
    const std::size_t end = std::min(bytes.find_first_of("\r\n", pos), bytes.size());
    lines.line[lines.count++] = bytes.substr(pos, end - pos);
    pos = end;
    if (pos < bytes.size()) {
      const bool cr = bytes[pos++] == '\r';
      if (cr && pos < bytes.size() && bytes[pos] == '\n') ++pos;
    }
  }
  return lines;
}

// Digest texts are ASCII, which every ANSI code page encodes alike. Another program may have
// written the hex digits in lower case; they name the same digest.
std::optional<std::u16string> DigestFromLine(std::string_view line) {
  std::u16string digest;
  digest.reserve(line.size());
  for (const char ch : line) digest.push_back(UpperHexLetter(ch));
  if (!IsDigestText(digest)) return std::nullopt;
  return digest;
}

std::string AsciiBytes(std::u16string_view text) { return std::string(text.begin(), text.end()); }

}  // namespace

StoredAccount ParseAccountSettings(std::string_view file_bytes, const AnsiCodePage& code_page) {
  const Lines lines = ReadLines(file_bytes);
  StoredAccount account;
  if (lines.count == 0 || lines.line[0] != kUpdatingOn) return account;
  account.updating = true;
  if (lines.count >= 2) account.domain = code_page.Decode(lines.line[1]);
  if (lines.count >= 3) account.digest = DigestFromLine(lines.line[2]);
  return account;
}

Result<std::string> ComposeAccountSettings(const StoredAccount& account,
                                           const AnsiCodePage& code_page) {
  std::string bytes;
  if (!account.updating) return bytes;
  bytes.append(kUpdatingOn).append(kLineEnd);
  if (!account.digest) return bytes;
  if (!IsDigestText(*account.digest)) return Status::Failure(StatusKind::kRejected);
  const Result<std::string> domain = code_page.Encode(account.domain);
  if (!domain) return domain.status();
  bytes.append(*domain).append(kLineEnd);
  bytes.append(AsciiBytes(*account.digest)).append(kLineEnd);
  return bytes;
}

AccountBoxes BoxesFromStoredAccount(const StoredAccount& account) {
  AccountBoxes boxes;
  if (!account.updating) return boxes;
  boxes.updating_enabled = true;
  boxes.domain = account.domain;
  if (account.digest) boxes.password = Password::FromDigest(*account.digest).value_or(Password());
  return boxes;
}

}  // namespace kalvane
