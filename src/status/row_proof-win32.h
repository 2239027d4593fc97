#pragma once

// The proof of the written rows (row_proof.h) on Windows: each name is resolved through the
// system's resolver with the asynchronous look-up the transport uses (http/name_lookup-win32.h),
// a bounded number at a time, so that the window never waits for it.

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "http/name_lookup-win32.h"
#include "platform/message_window-win32.h"
#include "status/row_proof.h"

namespace kalvane {

// Look-ups of one proof at a time.
inline constexpr std::size_t kProofLookupsAtOnce = 16;
// A proof whose look-ups have not all answered after this counts the rest as unresolved.
inline constexpr UINT kProofPatienceMs = 15000;

class RowProofs {
 public:
  // Called with the verdict of every row once all are known.
  using Finished = std::function<void(std::vector<RowProof>)>;

  RowProofs(HINSTANCE instance, Finished finished);
  RowProofs(const RowProofs&) = delete;
  RowProofs& operator=(const RowProofs&) = delete;

  // Proves `rows` (host names and addresses as written); a proof still running is dropped.
  void Start(std::vector<ProofRow> rows);

 private:
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void StartLookups();
  void Finish();

  Finished finished_;
  MessageWindow window_;
  std::optional<ProofRun> run_;
  std::map<WPARAM, std::pair<std::u16string, std::unique_ptr<NameLookup>>> lookups_;
  WPARAM next_id_ = 0;
};

// The address's text in the resolver's form ("::1" for "0:0::1"); unchanged when it is no address.
std::u16string CanonicalAddress(std::u16string_view address);

}  // namespace kalvane
