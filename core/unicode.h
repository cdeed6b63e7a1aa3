// Text conversion.
#pragma once

#include <cstddef>
#include <string>

// UTF-16 code units to UTF-8. Surrogate pairs combine; an unpaired surrogate becomes
// U+FFFD. Stops at `count` units (or at the first 0 unit when count is npos).
std::string cfConvertString(const char16_t* units, std::size_t count = std::string::npos);
std::string cfConvertString(const std::u16string& units);

// text with every ill-formed UTF-8 sequence replaced by U+FFFD (one per maximal ill-formed
// subpart, as Unicode recommends); well-formed text comes back unchanged. For back ends whose
// text calls refuse ill-formed input.
std::string cfValidUtf8(const std::string& text);
