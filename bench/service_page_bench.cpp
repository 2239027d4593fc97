// Reading the mapping list out of a service page: time per page of N rows, to check that it
// grows linearly with the list.
#include <benchmark/benchmark.h>

#include <string>

#include "http/response_completion.h"
#include "sync/service_page.h"

namespace {

std::string BodyOfRows(int rows) {
  std::string body = "<p>OK</p>\r\n<p>BEGIN</p>\r\n";
  for (int i = 0; i < rows; ++i) {
    body += "<p>host" + std::to_string(i) + ".example.com&nbsp;10." + std::to_string(i % 250) +
            ".0.1</p>\r\n";
  }
  return body + "<p>END</p>";
}

void BM_ReadDomainList(benchmark::State& state) {
  const std::string body = BodyOfRows(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    kalvane::DomainList list = kalvane::ReadDomainList(body);
    benchmark::DoNotOptimize(list.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_ReadDomainList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The completion rule run on every arrival of a response that comes in 64 KiB pieces.
void BM_JudgeResponseInPieces(benchmark::State& state) {
  const std::string body = BodyOfRows(static_cast<int>(state.range(0)));
  const std::string response =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  for (auto _ : state) {
    kalvane::ResponseState last = kalvane::ResponseState::kIncomplete;
    for (std::size_t end = 65536;; end += 65536) {
      last = kalvane::JudgeResponse(std::string_view(response).substr(0, end));
      if (end >= response.size()) break;
    }
    benchmark::DoNotOptimize(last);
  }
}
BENCHMARK(BM_JudgeResponseInPieces)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
