// Text helpers of the batch lookup: every record it writes is valid UTF-8,
// whatever bytes the input or the database holds.
#pragma once

#include <string>
#include <string_view>

namespace batch {

// True when the bytes are all ASCII (then they are the same in UTF-8 and GBK).
bool IsAscii(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Appends the bytes to *out with every ill-formed sequence replaced by U+FFFD,
// one replacement per maximal subpart (as Unicode recommends), so that a text
// that is valid stays byte for byte the same.
void AppendSanitizedUtf8(std::string_view bytes, std::string* out);
std::string SanitizeUtf8(std::string_view bytes);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace batch
