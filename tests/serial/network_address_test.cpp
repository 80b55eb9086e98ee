#include "serial/network_address.hpp"

#include <gtest/gtest.h>

namespace solvard::serial {
namespace {

struct AddressCase {
  const char* name;
  std::string text;
  std::optional<NetworkAddress> expected;
};

using Mode = NetworkAddress::Mode;

class NetworkAddressText : public ::testing::TestWithParam<AddressCase> {};

TEST_P(NetworkAddressText, ParsesOrRefuses) {
  const AddressCase& c = GetParam();
  const auto got = parseNetworkAddress(c.text);
  ASSERT_EQ(got.has_value(), c.expected.has_value());
  EXPECT_EQ(isNetworkDevice(c.text),
            c.text.starts_with("tcp://") || c.text.starts_with("rfc2217://"));
  if (!got) return;
  EXPECT_EQ(got->mode, c.expected->mode);
  EXPECT_EQ(got->host, c.expected->host);
  EXPECT_EQ(got->port, c.expected->port);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NetworkAddressText,
    ::testing::Values(
        AddressCase{"Raw", "tcp://127.0.0.1:7001", NetworkAddress{Mode::Raw, "127.0.0.1", "7001"}},
        AddressCase{"ComPort", "rfc2217://ser2net.example:4001",
                    NetworkAddress{Mode::ComPort, "ser2net.example", "4001"}},
        AddressCase{"Ipv6", "tcp://[::1]:65535", NetworkAddress{Mode::Raw, "::1", "65535"}},
        AddressCase{"LocalDevice", "/dev/ttyUSB0", std::nullopt},
        AddressCase{"NoPort", "tcp://127.0.0.1", std::nullopt},
        AddressCase{"PortZero", "tcp://127.0.0.1:0", std::nullopt},
        AddressCase{"PortTooBig", "tcp://127.0.0.1:65536", std::nullopt},
        AddressCase{"PortNotANumber", "tcp://127.0.0.1:70a1", std::nullopt},
        AddressCase{"EmptyHost", "rfc2217://:7001", std::nullopt},
        AddressCase{"Ipv6NoBrackets", "tcp://::1:7001", std::nullopt},
        AddressCase{"UnclosedBracket", "tcp://[::1:7001", std::nullopt},
        AddressCase{"PathAfterPort", "tcp://host/x:7001", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::serial
