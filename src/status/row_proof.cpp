#include "status/row_proof.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <utility>

#include "base/text.h"

namespace kalvane {
namespace {

// The answer is shown in the status window's cell: a name with many addresses shows the first few.
constexpr std::size_t kAddressesShown = 3;

std::u16string Lower(std::u16string_view text) {
  std::u16string lower(text);
  for (char16_t& ch : lower) ch = AsciiLower(ch);
  return lower;
}

std::u16string Number(std::size_t value) {
  const std::string digits = std::to_string(value);
  return {digits.begin(), digits.end()};
}

}  // namespace

RowProof JudgeRow(std::u16string_view address, const NameAnswer& answer) {
  if (!answer || answer->empty()) return {ProofVerdict::kUnresolved, {}};
  const bool found = std::ranges::any_of(*answer, [&](const std::u16string& resolved) {
    return EqualsAsciiNoCase<char16_t>(resolved, address);
  });
  if (found) return {ProofVerdict::kTakesEffect, {}};
  return {ProofVerdict::kResolvesElsewhere, *answer};
}

std::u16string ProofText(const RowProof& proof) {
  switch (proof.verdict) {
    case ProofVerdict::kPending:
      return {};
    case ProofVerdict::kTakesEffect:
      return u"是";
    case ProofVerdict::kUnresolved:
      return u"否：无法解析";
    case ProofVerdict::kResolvesElsewhere:
      break;
  }
  std::u16string text = u"否：解析为 ";
  const std::size_t shown = std::min(proof.addresses.size(), kAddressesShown);
  for (std::size_t i = 0; i < shown; ++i) {
    if (i > 0) text += u", ";
    text += proof.addresses[i];
  }
  if (shown < proof.addresses.size()) text += u" 等 " + Number(proof.addresses.size()) + u" 个";
  return text;
}

std::size_t CountUnproven(const std::vector<RowProof>& proofs) {
  return static_cast<std::size_t>(std::ranges::count_if(proofs, [](const RowProof& proof) {
    return proof.verdict == ProofVerdict::kResolvesElsewhere ||
           proof.verdict == ProofVerdict::kUnresolved;
  }));
}

std::u16string UnprovenNote(std::size_t count) {
  return count == 0 ? std::u16string() : Number(count) + u" 条映射未生效";
}

ProofRun::ProofRun(std::vector<ProofRow> rows, std::size_t at_once)
    : rows_(std::move(rows)), at_once_(std::max<std::size_t>(at_once, 1)) {
  // Names are case-blind to the resolver: one look-up per name.
  std::unordered_set<std::u16string> seen;
  for (const ProofRow& row : rows_) {
    const std::u16string name = Lower(row.host);
    if (!seen.insert(name).second) continue;
    names_.push_back(name);
  }
}

std::optional<std::u16string> ProofRun::NextName() {
  if (next_ == names_.size() || outstanding_.size() >= at_once_) return std::nullopt;
  outstanding_.insert(names_[next_]);
  return names_[next_++];
}

void ProofRun::Answer(const std::u16string& host, const NameAnswer& answer) {
  const std::u16string name = Lower(host);
  if (outstanding_.erase(name) == 0) return;  // not handed out, or answered already
  answers_.emplace(name, answer);
}

void ProofRun::GiveUp() {
  for (const std::u16string& name : names_) answers_.try_emplace(name, std::nullopt);
  next_ = names_.size();
  outstanding_.clear();
}

std::vector<RowProof> ProofRun::Proofs() const {
  std::vector<RowProof> proofs;
  proofs.reserve(rows_.size());
  for (const ProofRow& row : rows_) {
    const auto answer = answers_.find(Lower(row.host));
    // The service's own name is never looked up, and never written either.
    if (answer == answers_.end()) {
      const bool pending = std::ranges::find(names_, Lower(row.host)) != names_.end();
      proofs.push_back({pending ? ProofVerdict::kPending : ProofVerdict::kUnresolved, {}});
    } else {
      proofs.push_back(JudgeRow(row.address, answer->second));
    }
  }
  return proofs;
}

}  // namespace kalvane
