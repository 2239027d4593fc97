#include "status/row_proof-win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <utility>

#include "platform/wide_text-win32.h"

namespace kalvane {
namespace {

constexpr UINT kLookupDoneMessage = WM_APP + 1;
constexpr UINT_PTR kPatienceTimerId = 1;

std::u16string AddressText(const sockaddr_storage& address) {
  wchar_t text[INET6_ADDRSTRLEN] = {};
  const void* bytes = nullptr;
  if (address.ss_family == AF_INET) {
    bytes = &reinterpret_cast<const sockaddr_in&>(address).sin_addr;
  } else if (address.ss_family == AF_INET6) {
    bytes = &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr;
  }
  if (bytes == nullptr || InetNtopW(address.ss_family, bytes, text, std::size(text)) == nullptr) {
    return {};
  }
  return FromWide(text);
}

NameAnswer AnswerOf(const LookupOutcome& outcome) {
  if (!outcome) return std::nullopt;
  std::vector<std::u16string> addresses;
  for (const ResolvedAddress& address : *outcome) {
    std::u16string text = AddressText(address.address);
    if (!text.empty()) addresses.push_back(std::move(text));
  }
  return addresses;
}

}  // namespace

std::u16string CanonicalAddress(std::u16string_view address) {
  const std::wstring wide = ToWide(address);
  sockaddr_storage parsed{};
  if (InetPtonW(AF_INET, wide.c_str(), &reinterpret_cast<sockaddr_in&>(parsed).sin_addr) == 1) {
    parsed.ss_family = AF_INET;
  } else if (InetPtonW(AF_INET6, wide.c_str(),
                       &reinterpret_cast<sockaddr_in6&>(parsed).sin6_addr) == 1) {
    parsed.ss_family = AF_INET6;
  } else {
    return std::u16string(address);
  }
  const std::u16string text = AddressText(parsed);
  return text.empty() ? std::u16string(address) : text;
}

RowProofs::RowProofs(HINSTANCE instance, Finished finished)
    : finished_(std::move(finished)),
      window_(instance, [this](UINT message, WPARAM wparam, LPARAM lparam) {
        return OnMessage(message, wparam, lparam);
      }) {}

void RowProofs::Start(std::vector<ProofRow> rows) {
  lookups_.clear();  // a look-up dropped posts nothing more
  for (ProofRow& row : rows) row.address = CanonicalAddress(row.address);
  run_.emplace(std::move(rows), kProofLookupsAtOnce);
  SetTimer(window_.hwnd(), kPatienceTimerId, kProofPatienceMs, nullptr);
  StartLookups();
}

void RowProofs::StartLookups() {
  while (run_ && window_.hwnd() != nullptr) {
    std::optional<std::u16string> name = run_->NextName();
    if (!name) break;
    const WPARAM id = ++next_id_;
    auto lookup =
        std::make_unique<NameLookup>(window_.hwnd(), kLookupDoneMessage, id, ToWide(*name));
    lookups_.emplace(id, std::make_pair(std::move(*name), std::move(lookup)));
  }
  if (run_ && (run_->Done() || window_.hwnd() == nullptr)) Finish();
}

bool RowProofs::OnMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_TIMER && wparam == kPatienceTimerId) {
    if (run_) run_->GiveUp();
    lookups_.clear();
    if (run_) Finish();
    return true;
  }
  if (message != kLookupDoneMessage) return false;
  const auto found = lookups_.find(wparam);
  if (found == lookups_.end() || !run_) return true;  // of a proof that was dropped
  const std::u16string name = std::move(found->second.first);
  const LookupOutcome outcome = found->second.second->TakeOutcome();
  lookups_.erase(found);
  run_->Answer(name, AnswerOf(outcome));
  StartLookups();
  return true;
}

void RowProofs::Finish() {
  KillTimer(window_.hwnd(), kPatienceTimerId);
  if (window_.hwnd() == nullptr) run_->GiveUp();
  std::vector<RowProof> proofs = run_->Proofs();
  run_.reset();
  lookups_.clear();
  if (finished_) finished_(std::move(proofs));
}

}  // namespace kalvane
