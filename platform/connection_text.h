// The grammar of the connection text, apart from the connection that acts on
// it, so that it can be checked alone.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ado {

// The three settings the provider reads; every other key is ignored.
struct ConnectionSettings {
  std::optional<std::u16string> provider;
  std::u16string data_source;
  std::u16string password;
};

// Parses "key=value; key=value" as Connection::Open describes it (ado.h):
// keys without case, blanks around keys and values ignored, a value quoted
// with " or ' (the quote doubled inside) may hold a semicolon, blank pieces
// are skipped and the last of a repeated key counts. False when a piece has
// no key or no '=', or a quote is not closed or is followed by more text.
bool ParseConnectionText(std::u16string_view text, ConnectionSettings* settings);

}  // namespace ado
