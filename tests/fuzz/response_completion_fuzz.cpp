// The client's accumulation of a response that arrives in pieces. The bytes are cut into pieces
// of fuzzed sizes and delivered through a scripted socket, one data event each, to a waiting
// Get. Checked on every input:
// - the client's verdict (a complete accepted response, or not) equals the completion rule's on
//   the whole text, however the text was cut;
// - a taken answer's body is the whole text's body, cut at its announced length;
// - any prefix of a text that is not rejected is not rejected either.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_client.h"
#include "http/response_completion.h"
#include "scripted_pump.h"

namespace {

void Check(bool property) {
  if (!property) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<std::size_t> cuts(input.ConsumeIntegralInRange<std::size_t>(0, 16));
  for (auto& cut : cuts) cut = input.ConsumeIntegralInRange<std::size_t>(1, 64);
  const std::string response = input.ConsumeRemainingBytesAsString();
  const kalvane::ResponseState whole = kalvane::JudgeResponse(response);

  kalvane::testing::ScriptedPump pump;
  kalvane::testing::FakeSocket socket;
  kalvane::HttpClient client(socket, pump, "dns.kalvane.example");
  socket.on_connect = [&] { pump.At(std::chrono::milliseconds(1), [&] { client.OnConnected(); }); };
  socket.on_send = [&] {
    std::size_t at = 0;
    int piece = 0;
    while (at < response.size()) {
      // The fuzzed sizes, then the rest in one piece.
      const std::size_t length =
          piece < static_cast<int>(cuts.size())
              ? std::min(cuts[static_cast<std::size_t>(piece)], response.size() - at)
              : response.size() - at;
      const std::string_view bytes = std::string_view(response).substr(at, length);
      pump.At(std::chrono::milliseconds(1 + piece), [&client, bytes] { client.OnData(bytes); });
      at += length;
      ++piece;
    }
  };
  const kalvane::Result<kalvane::HttpAnswer> got = client.Get("/kalvanedns/getdomain.asp");

  // An answer that came back is a value, taken or refused; only one never whole is none.
  Check(got.ok() == (whole != kalvane::ResponseState::kIncomplete));
  if (!got) {
    Check(got.status() == kalvane::StatusKind::kTimedOut);
  } else if (got->verdict.fault == kalvane::AnswerFault::kNone) {
    Check(whole == kalvane::ResponseState::kComplete);
    const std::string_view body = kalvane::CompleteBody(response);
    Check(got->body == body);
    Check(kalvane::FindContentLength(response) == body.size());
  } else {
    Check(whole == kalvane::ResponseState::kRejected);
  }
  if (whole != kalvane::ResponseState::kRejected && !cuts.empty()) {
    const std::size_t split = std::min(cuts.front(), response.size());
    Check(kalvane::JudgeResponse(std::string_view(response).substr(0, split)) !=
          kalvane::ResponseState::kRejected);
  }
  (void)kalvane::FindContentLength(response);
  return 0;
}
