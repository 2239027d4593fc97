#include "http/service_endpoint.h"

namespace kalvane {

constinit const std::string_view kServiceHost = KALVANE_SERVER_HOST;

}  // namespace kalvane
