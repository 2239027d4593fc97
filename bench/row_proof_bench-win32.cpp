// The proof of 1,000 written rows through the system's resolver, as the status display starts it
// after a write: how long until every verdict is in. Run under Wine, where the resolver reads the
// Linux hosts file; give it one that names the rows (see the usage below) so that every look-up
// is answered from the file, as on a quiet machine.
//
//   row_proof_bench.exe [ROWS]   prints the rows, the time in ms and the count of each verdict
//
// The names are bench0.example ... and the addresses 10.0.a.b, as "10.0.a.b benchN.example"
// lines of a hosts file would give them.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "platform/wide_text-win32.h"
#include "status/row_proof-win32.h"

int wmain(int argc, wchar_t** argv) {
  const int count = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 1000;
  std::vector<kalvane::ProofRow> rows;
  for (int i = 0; i < count; ++i) {
    const std::wstring host = L"bench" + std::to_wstring(i) + L".example";
    const std::wstring address =
        L"10.0." + std::to_wstring(i / 256) + L"." + std::to_wstring(i % 256);
    rows.push_back({kalvane::FromWide(host), kalvane::FromWide(address)});
  }
  std::optional<std::vector<kalvane::RowProof>> proven;
  kalvane::RowProofs proofs(GetModuleHandleW(nullptr),
                            [&](std::vector<kalvane::RowProof> result) { proven = result; });
  LARGE_INTEGER frequency{}, start{}, end{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  proofs.Start(std::move(rows));
  MSG message;
  while (!proven && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  QueryPerformanceCounter(&end);
  int verdicts[4] = {};
  for (const kalvane::RowProof& proof : proven.value_or(std::vector<kalvane::RowProof>{})) {
    ++verdicts[static_cast<int>(proof.verdict)];
  }
  std::printf("rows %d, %.0f ms, takes effect %d, elsewhere %d, unresolved %d, pending %d\n", count,
              1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                  static_cast<double>(frequency.QuadPart),
              verdicts[1], verdicts[2], verdicts[3], verdicts[0]);
  return 0;
}
