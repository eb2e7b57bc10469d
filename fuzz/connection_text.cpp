// Any UTF-16 text through the connection-text parser. Besides not failing,
// it must hold that:
//   - a piece boundary forgets everything: a trailing ';' or a leading
//     unknown pair changes nothing;
//   - what it read, written out again (keys in any case, blanks around keys
//     and '=', values quoted with either quote or bare where they can be),
//     reads back the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/connection_text.h"

namespace {

struct Parsed {
  bool ok = false;
  ado::ConnectionSettings settings;
};

Parsed Parse(std::u16string_view text) {
  Parsed parsed;
  parsed.ok = ado::ParseConnectionText(text, &parsed.settings);
  return parsed;
}

bool Same(const Parsed& a, const Parsed& b) {
  if (a.ok != b.ok) return false;
  if (!a.ok) return true;  // a refused text leaves the settings half read
  return a.settings.provider == b.settings.provider &&
         a.settings.data_source == b.settings.data_source &&
         a.settings.password == b.settings.password;
}

void Expect(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "connection_text: %s\n", what);
  std::abort();
}

// ASCII bytes stand for themselves, so that the fuzzer meets '=', ';' and
// the quotes often; a byte of 0x80 or more takes the next byte with it and
// makes any UTF-16 unit, unpaired surrogates included.
std::u16string Decode(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] < 0x80 || i + 1 == size) {
      text += static_cast<char16_t>(data[i]);
    } else {
      text += static_cast<char16_t>(((data[i] & 0x7F) << 9) | (data[i + 1] << 1) | (data[i] & 1));
      ++i;
    }
  }
  return text;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// The key with its letters' case taken from the bits of `mix`, and blanks
// around it.
std::u16string Key(std::u16string_view key, unsigned mix) {
  std::u16string out = (mix & 1) != 0 ? u" " : u"";
  for (char16_t c : key) {
    mix = mix * 1103515245u + 12345u;
    if ((mix >> 16) & 1) {
      if (c >= u'a' && c <= u'z')
        c = static_cast<char16_t>(c - u'a' + u'A');
      else if (c >= u'A' && c <= u'Z')
        c = static_cast<char16_t>(c - u'A' + u'a');
    }
    out += c;
  }
  out += (mix & 2) != 0 ? u"\t=" : u"=";
  return out;
}

// A value as the grammar lets it be written: bare when it can be, else quoted.
std::u16string Value(std::u16string_view value, unsigned mix) {
  const bool bare_possible = value.find(u';') == std::u16string_view::npos &&
                             (value.empty() || (!IsBlank(value.front()) && !IsBlank(value.back()) &&
                                                value.front() != u'"' && value.front() != u'\''));
  if (bare_possible && (mix & 4) != 0) return std::u16string(value);
  const char16_t quote = (mix & 8) != 0 ? u'\'' : u'"';
  std::u16string out(1, quote);
  for (char16_t c : value) {
    out += c;
    if (c == quote) out += c;
  }
  out += quote;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = Decode(data, size);
  const Parsed parsed = Parse(text);

  Expect(Same(Parse(text + u";"), parsed), "a trailing ';' changed the result");
  Expect(Same(Parse(u"Mode=Read;" + text), parsed), "a leading unknown pair changed the result");
  if (!parsed.ok) return 0;

  unsigned mix = 0;
  for (std::size_t i = 0; i < size; ++i) mix = mix * 31u + data[i];
  const ado::ConnectionSettings& s = parsed.settings;
  std::u16string rebuilt;
  if (s.provider) rebuilt += Key(u"Provider", mix) + Value(*s.provider, mix) + u";";
  rebuilt += Key(u"Data Source", mix >> 4) + Value(s.data_source, mix >> 4) + u" ;";
  rebuilt += Key(u"Jet OLEDB:Database Password", mix >> 8) + Value(s.password, mix >> 8);
  Expect(Same(Parse(rebuilt), parsed), "the settings written out read back differently");
  return 0;
}
