// The password verifier: the stored record admits its password and nothing
// else, and never contains the password.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

#include "platform/provider_file.h"

namespace {

TEST(ProviderFile, VerifierAdmitsOnlyItsPassword) {
  const provider::PasswordVerifier made = provider::MakeVerifier("Rk#5pLx%qN2*zVm8^");
  EXPECT_EQ(made.salt.size(), provider::kSaltBytes);
  EXPECT_EQ(made.verifier.size(), provider::kVerifierBytes);
  EXPECT_EQ(made.iterations, provider::kDefaultIterations);
  EXPECT_TRUE(provider::CheckPassword(made, "Rk#5pLx%qN2*zVm8^"));
  for (const char* wrong : {"", "Rk#5pLx%qN2*zVm8", "Rk#5pLx%qN2*zVm8^ ", "rk#5plx%qn2*zvm8^"}) {
    EXPECT_FALSE(provider::CheckPassword(made, wrong)) << wrong;
  }
}

TEST(ProviderFile, EachVerifierHasItsOwnSalt) {
  const provider::PasswordVerifier a = provider::MakeVerifier("same", 10);
  const provider::PasswordVerifier b = provider::MakeVerifier("same", 10);
  EXPECT_NE(a.salt, b.salt);
  EXPECT_NE(a.verifier, b.verifier);
  EXPECT_TRUE(provider::CheckPassword(b, "same"));
}

TEST(ProviderFile, DamagedRecordAdmitsNothing) {
  const provider::PasswordVerifier made = provider::MakeVerifier("secret", 10);
  auto damaged = [&](auto change) {
    provider::PasswordVerifier copy = made;
    change(copy);
    return provider::CheckPassword(copy, "secret");
  };
  EXPECT_FALSE(damaged([](auto& v) { v.verifier[31] ^= 1; }));
  EXPECT_FALSE(damaged([](auto& v) { v.salt[0] ^= 1; }));
  EXPECT_FALSE(damaged([](auto& v) { v.iterations = 11; }));
  EXPECT_FALSE(damaged([](auto& v) { v.iterations = 0; }));
  // Refused before deriving: this would otherwise take many minutes.
  EXPECT_FALSE(damaged([](auto& v) { v.iterations = std::numeric_limits<int>::max(); }));
  EXPECT_FALSE(damaged([](auto& v) { v.iterations = provider::kMaxIterations + 1; }));
  EXPECT_FALSE(damaged([](auto& v) { v.verifier.clear(); }));
  EXPECT_FALSE(damaged([](auto& v) { v.salt.clear(); }));
}

TEST(ProviderFile, IterationsOutsideTheBoundsAreNotWritten) {
  EXPECT_THROW(provider::MakeVerifier("p", 0), std::invalid_argument);
  EXPECT_THROW(provider::MakeVerifier("p", provider::kMaxIterations + 1), std::invalid_argument);
}

}  // namespace
