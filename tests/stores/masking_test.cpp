#include "stores/masking.h"

#include <gtest/gtest.h>

#include <tuple>

namespace twinbook {
namespace {

TEST(MaskPhoneNumberTest, FormatsByLengthAndStyle) {
  const std::vector<std::tuple<int, std::string, std::string>> cases = {
      {2, "abcdefg", "abc-defg"},
      {2, "abcdefghij", "(abc) def-ghij"},
      {2, "abcdefghijk", "a (bcd) efg-hijk"},
      {3, "abcdefg", "abc-defg"},
      {3, "abcdefghij", "abc-def-ghij"},
      {3, "abcdefghijk", "a-bcd-efg-hijk"},
      {4, "abcdefg", "abc.defg"},
      {4, "abcdefghij", "abc.def.ghij"},
      {4, "abcdefghijk", "a.bcd.efg.hijk"},
      {1, "5551234567", "5551234567"},
      {0, "5551234567", "5551234567"},
      {5, "5551234567", "5551234567"},
      {2, "12345678", "12345678"},
      {3, "123456789012", "123456789012"},
      {4, "", ""},
      {2, "123456", "123456"},
      // Positions count characters, not bytes.
      {3,
       "\xc3\xa9"
       "2345678901",
       "\xc3\xa9-234-567-8901"},
  };
  for (const auto& [option, input, expected] : cases) {
    EXPECT_EQ(MaskPhoneNumber(input, static_cast<std::uint8_t>(option)), expected)
        << option << " " << input;
  }
}

}  // namespace
}  // namespace twinbook
