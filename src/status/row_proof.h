#pragma once

// Whether the rows written to the hosts file take effect: each written name is resolved through
// the system's resolver once the write is done, and a row takes effect when the answer includes
// its address. A line Windows ignores, another line that maps the name first, or security
// software that reset the file all show here.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kalvane {

enum class ProofVerdict {
  kPending,            // not answered yet
  kTakesEffect,        // the answer includes the written address
  kResolvesElsewhere,  // the answer holds other addresses only
  kUnresolved,         // no answer, or no address in it
};

struct RowProof {
  ProofVerdict verdict = ProofVerdict::kPending;
  std::vector<std::u16string> addresses;  // the answer, for kResolvesElsewhere
  bool operator==(const RowProof&) const = default;
};

// The addresses a name resolved to, in the resolver's order; nothing when it did not resolve.
using NameAnswer = std::optional<std::vector<std::u16string>>;

// The verdict for a row written with `address`. Addresses are compared as text without regard to
// letter case, so both sides are to be in one canonical form (the resolver's own).
RowProof JudgeRow(std::u16string_view address, const NameAnswer& answer);

// The "生效" column: "是", "否：解析为 <addresses>" (the first few, then how many in all) or
// "否：无法解析"; empty while pending.
std::u16string ProofText(const RowProof& proof);

// How many rows have an answer that does not take effect.
std::size_t CountUnproven(const std::vector<RowProof>& proofs);
// "N 条映射未生效"; empty for none.
std::u16string UnprovenNote(std::size_t count);

// A row to prove: the host name and address as written.
struct ProofRow {
  std::u16string host;
  std::u16string address;
};

// One proof of a set of rows: hands out each distinct host name once, at most `at_once` at a
// time, and judges the rows as the answers come. The rows are those the hosts store wrote, which
// never name the service itself (refused_rows.h).
class ProofRun {
 public:
  ProofRun(std::vector<ProofRow> rows, std::size_t at_once);

  // The next name to resolve, or nothing when all are out or `at_once` are outstanding.
  std::optional<std::u16string> NextName();
  // The answer for a name handed out by NextName.
  void Answer(const std::u16string& host, const NameAnswer& answer);
  // Every name still outstanding counts as unresolved (the lookups took too long).
  void GiveUp();

  bool Done() const { return outstanding_.empty() && next_ == names_.size(); }
  // The verdict of each row, in the rows' order.
  std::vector<RowProof> Proofs() const;

 private:
  std::vector<ProofRow> rows_;
  std::vector<std::u16string> names_;  // distinct, in the rows' order
  std::unordered_map<std::u16string, NameAnswer> answers_;
  std::unordered_set<std::u16string> outstanding_;
  std::size_t next_ = 0;
  std::size_t at_once_;
};

}  // namespace kalvane
