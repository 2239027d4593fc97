#pragma once

// The outcome of one update cycle: what the tray icon shows.

#include <cstdint>

namespace kalvane {

enum class UpdateResult : std::int16_t {
  kNoFailure = 0,
  kAccountNotConfirmed = 1,  // also: the account's values could not be sent at all
  kTransferFailed = 2,
};

}  // namespace kalvane
