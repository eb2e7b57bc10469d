// Text conversion between the program's GBK byte strings and Unicode.
//
// Every text of the program is a GBK byte string. It is converted only where
// it crosses into the data-access layer (UTF-16) or out to a person (UTF-8 on
// a console, UTF-16 in a window). The conversions use glibc's iconv tables.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// GBK bytes to UTF-16. A byte sequence that is not valid GBK becomes U+FFFD.
std::u16string GbkToUnicode(std::string_view gbk);

// UTF-16 to GBK. A character without a GBK form, and an unpaired surrogate,
// becomes a question mark.
std::string UnicodeToGbk(std::u16string_view text);

std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace platform
