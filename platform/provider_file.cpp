#include "platform/provider_file.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>

namespace provider {
namespace {

// PBKDF2-HMAC-SHA256 of the password; an empty result when OpenSSL refuses.
std::vector<std::uint8_t> Derive(std::string_view password, const std::vector<std::uint8_t>& salt,
                                 int iterations) {
  std::vector<std::uint8_t> key(kVerifierBytes);
  int ok = PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                             static_cast<int>(salt.size()), iterations, EVP_sha256(),
                             static_cast<int>(key.size()), key.data());
  if (ok != 1) key.clear();
  return key;
}

}  // namespace

PasswordVerifier MakeVerifier(std::string_view password, int iterations) {
  if (iterations < 1 || iterations > kMaxIterations) {
    throw std::invalid_argument("PBKDF2 iterations must be 1 to kMaxIterations");
  }
  PasswordVerifier made;
  made.salt.resize(kSaltBytes);
  // A verifier without a random salt would be the same in every file.
  if (RAND_bytes(made.salt.data(), static_cast<int>(made.salt.size())) != 1) {
    throw std::runtime_error("no random bytes for the password salt");
  }
  made.iterations = iterations;
  made.verifier = Derive(password, made.salt, iterations);
  if (made.verifier.empty()) throw std::runtime_error("PBKDF2-HMAC-SHA256 failed");
  return made;
}

bool CheckPassword(const PasswordVerifier& stored, std::string_view password) {
  // A damaged record must not pass by comparing zero bytes, nor keep the
  // caller deriving for hours.
  if (stored.iterations < 1 || stored.iterations > kMaxIterations || stored.salt.empty() ||
      stored.verifier.size() != kVerifierBytes) {
    return false;
  }
  std::vector<std::uint8_t> derived = Derive(password, stored.salt, stored.iterations);
  return derived.size() == stored.verifier.size() &&
         CRYPTO_memcmp(derived.data(), stored.verifier.data(), derived.size()) == 0;
}

}  // namespace provider
