#include "platform/ansi_code_page-win32.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

#include "platform/wide_text-win32.h"

namespace kalvane {
namespace {

// How WideCharToMultiByte may be asked to report a character that the code page lacks.
enum class LossReport {
  kUsedDefaultChar,  // WC_NO_BEST_FIT_CHARS and the used-default flag
  kInvalidChars,     // UTF-8: WC_ERR_INVALID_CHARS, failing on what it cannot encode
  kNone,             // code pages that take no flags: check that the bytes read back
};

LossReport LossReportFor(UINT code_page) {
  if (code_page == CP_UTF8) return LossReport::kInvalidChars;
  const bool takes_no_flags = code_page == 42 || (code_page >= 50220 && code_page <= 50229) ||
                              code_page == 52936 || code_page == 54936 ||
                              (code_page >= 57002 && code_page <= 57011) || code_page == CP_UTF7;
  return takes_no_flags ? LossReport::kNone : LossReport::kUsedDefaultChar;
}

Status Unconvertible() { return Status::Failure(StatusKind::kUnconvertible); }

}  // namespace

SystemAnsiCodePage::SystemAnsiCodePage() : code_page_(GetACP()) {}

std::optional<std::uint8_t> SystemAnsiCodePage::SingleByte(char16_t ch) const {
  const Result<std::string> bytes = Encode(std::u16string_view(&ch, 1));
  if (!bytes || bytes->size() != 1) return std::nullopt;
  return static_cast<std::uint8_t>((*bytes)[0]);
}

Result<std::string> SystemAnsiCodePage::Encode(std::u16string_view text) const {
  if (text.empty()) return std::string();
  if (text.size() > INT_MAX) return Unconvertible();
  const int length = static_cast<int>(text.size());

  const LossReport report = LossReportFor(code_page_);
  DWORD flags = 0;
  BOOL used_default = FALSE;
  BOOL* used_default_flag = nullptr;
  if (report == LossReport::kUsedDefaultChar) {
    flags = WC_NO_BEST_FIT_CHARS;
    used_default_flag = &used_default;
  } else if (report == LossReport::kInvalidChars) {
    flags = WC_ERR_INVALID_CHARS;
  }

  const int size = WideCharToMultiByte(code_page_, flags, WideData(text), length, nullptr, 0,
                                       nullptr, used_default_flag);
  if (size <= 0 || used_default) return Unconvertible();
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(code_page_, flags, WideData(text), length, bytes.data(), size, nullptr,
                          used_default_flag) != size ||
      used_default) {
    return Unconvertible();
  }
  if (report == LossReport::kNone && Decode(bytes) != text) return Unconvertible();
  return bytes;
}

std::u16string SystemAnsiCodePage::Decode(std::string_view bytes) const {
  if (bytes.empty()) return std::u16string();
  if (bytes.size() > INT_MAX) throw std::length_error("text too long to decode");
  const int length = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(code_page_, 0, bytes.data(), length, nullptr, 0);
  if (size <= 0) return std::u16string();
  std::u16string text(static_cast<std::size_t>(size), u'\0');
  const int written =
      MultiByteToWideChar(code_page_, 0, bytes.data(), length, WideData(text), size);
  text.resize(static_cast<std::size_t>(written > 0 ? written : 0));
  return text;
}

}  // namespace kalvane
