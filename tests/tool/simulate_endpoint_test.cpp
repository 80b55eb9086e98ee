#include <gtest/gtest.h>

#include "simulator/tcp_endpoint.hpp"

namespace solvard::simulator {
namespace {

struct EndpointCase {
  const char* text;
  const char* read;  // as endpointText gives it back; null: refused
};

class ParseEndpoint : public ::testing::TestWithParam<EndpointCase> {};

TEST_P(ParseEndpoint, TakesOnlyAnIpv4AddressAndADecimalPort) {
  const auto endpoint = parseTcpEndpoint(GetParam().text);
  if (GetParam().read == nullptr) {
    EXPECT_FALSE(endpoint.has_value()) << endpointText(*endpoint);
  } else {
    ASSERT_TRUE(endpoint.has_value());
    EXPECT_EQ(endpointText(*endpoint), GetParam().read);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseEndpoint,
    ::testing::Values(EndpointCase{"127.0.0.1:7000", "127.0.0.1:7000"},
                      EndpointCase{"127.0.0.1:0", "127.0.0.1:0"},
                      EndpointCase{"0.0.0.0:65535", "0.0.0.0:65535"},
                      EndpointCase{"10.1.2.3:00080", "10.1.2.3:80"},
                      EndpointCase{"127.0.0.1:65536", nullptr}, EndpointCase{"127.0.0.1:", nullptr},
                      EndpointCase{":7000", nullptr}, EndpointCase{"127.0.0.1", nullptr},
                      EndpointCase{"127.0.0.1:+80", nullptr}, EndpointCase{"127.0.0.1:-1", nullptr},
                      EndpointCase{"127.0.0.1:80 ", nullptr},
                      EndpointCase{"127.0.0.1:0x50", nullptr}, EndpointCase{"127.1:80", nullptr},
                      EndpointCase{"localhost:80", nullptr}, EndpointCase{"256.0.0.1:80", nullptr},
                      EndpointCase{"::1:80", nullptr}, EndpointCase{"127.0.0.1:80:80", nullptr},
                      EndpointCase{"1277.0.0.1.0.0.1:80", nullptr}));

}  // namespace
}  // namespace solvard::simulator
