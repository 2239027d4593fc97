// This engine against OpenSSL's MD5 on the same buffers, and one password digest end to end.
#define OPENSSL_SUPPRESS_DEPRECATED  // the low-level MD5 calls: the fairest comparison
#include <benchmark/benchmark.h>
#include <openssl/md5.h>

#include <cstdint>
#include <vector>

#include "latin1_code_page.h"
#include "md5/digest_text.h"
#include "md5/md5.h"

namespace {

std::vector<std::uint8_t> Buffer(std::int64_t size) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

void BM_KalvaneMd5(benchmark::State& state) {
  const auto bytes = Buffer(state.range(0));
  kalvane::Md5Engine engine;
  for (auto _ : state) {
    engine.MD5Init();
    engine.MD5Update(bytes);
    engine.MD5Final();
    benchmark::DoNotOptimize(engine.State());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_OpenSslMd5(benchmark::State& state) {
  const auto bytes = Buffer(state.range(0));
  unsigned char digest[MD5_DIGEST_LENGTH];
  MD5_CTX context;
  for (auto _ : state) {
    MD5_Init(&context);
    MD5_Update(&context, bytes.data(), bytes.size());
    MD5_Final(digest, &context);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_TextDigestPassword(benchmark::State& state) {
  const std::u16string password = u"Tr0ub4dor&3-horse";
  const kalvane::testing::Latin1CodePage latin1;
  for (auto _ : state) {
    auto digest = kalvane::TextDigest(password, latin1);
    benchmark::DoNotOptimize(digest);
  }
}

BENCHMARK(BM_KalvaneMd5)->Arg(64)->Arg(1 << 10)->Arg(16 << 10)->Arg(1 << 20);
BENCHMARK(BM_OpenSslMd5)->Arg(64)->Arg(1 << 10)->Arg(16 << 10)->Arg(1 << 20);
BENCHMARK(BM_TextDigestPassword);

}  // namespace
