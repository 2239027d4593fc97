// Feeds arbitrary bytes, split at an arbitrary point, to the completion rule and the client.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "http/http_client.h"
#include "http/response_completion.h"

namespace {

class NullSocket final : public kalvane::SocketTransport {
 public:
  void Connect(std::string_view) override {}
  void SendData(std::string_view) override {}
  void Close() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const kalvane::ResponseState whole = kalvane::JudgeResponse(bytes);

  // Any prefix of a complete response is never Rejected, and a rejected text stays rejected.
  const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
  const kalvane::ResponseState prefix = kalvane::JudgeResponse(bytes.substr(0, split));
  if (whole != kalvane::ResponseState::kRejected && prefix == kalvane::ResponseState::kRejected) {
    __builtin_trap();
  }
  std::size_t length = 0;
  (void)kalvane::FindContentLength(bytes, length);
  return 0;
}
