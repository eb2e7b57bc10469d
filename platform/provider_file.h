// What the provider requires of a database file, shared by the provider that
// opens it and the tool that writes it.
//
// A file is ours when it is an SQLite database with the metadata table below
// whose "format" row holds kFormat. The database password is never stored:
// only a salted PBKDF2-HMAC-SHA256 verifier of it. The password is a constant
// of the program, so this is access control, not secrecy.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace provider {

inline constexpr std::string_view kProviderName = "Microsoft.Jet.OLEDB.4.0";

// CREATE TABLE zorvane_meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID
inline constexpr std::string_view kMetaTable = "zorvane_meta";
inline constexpr std::string_view kFormatKey = "format";
inline constexpr std::string_view kFormat = "zorvane-location-db 1";
inline constexpr std::string_view kSaltKey = "password_salt";              // BLOB
inline constexpr std::string_view kIterationsKey = "password_iterations";  // INTEGER
inline constexpr std::string_view kVerifierKey = "password_verifier";      // BLOB

// Chosen so that deriving the verifier, and so opening, stays well under 5 ms:
// one derivation takes 0.7 to 1 ms on the development machine (bench_ado).
inline constexpr int kDefaultIterations = 3000;
// The most a file may ask for. The count is read from the file before the
// password is checked, so a damaged file could otherwise make an open derive
// for hours (2^31 - 1 iterations); this bound keeps it well under a second.
inline constexpr int kMaxIterations = 100 * kDefaultIterations;
inline constexpr std::size_t kSaltBytes = 16;
inline constexpr std::size_t kVerifierBytes = 32;

struct PasswordVerifier {
  std::vector<std::uint8_t> salt;
  int iterations = 0;
  std::vector<std::uint8_t> verifier;
};

// A new verifier with a fresh random salt. The password is UTF-8. Throws
// std::runtime_error when no random bytes can be had, and
// std::invalid_argument for fewer than one or more than kMaxIterations.
PasswordVerifier MakeVerifier(std::string_view password, int iterations = kDefaultIterations);

// True when the password derives the stored verifier (compared in constant time).
bool CheckPassword(const PasswordVerifier& stored, std::string_view password);

}  // namespace provider
