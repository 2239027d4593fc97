#pragma once

// Where the domain service answers: fixed when the program is built, and read from here by
// everything that connects to it or must keep the way to it open.

#include <cstdint>
#include <string_view>

namespace kalvane {

// The service's host name (the build's KALVANE_SERVER_HOST).
extern const std::string_view kServiceHost;
inline constexpr std::uint16_t kServicePort = 80;

}  // namespace kalvane
