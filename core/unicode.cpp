#include <core/unicode.h>

namespace {

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

std::string cfConvertString(const char16_t* units, std::size_t count) {
  std::string out;
  if (!units) return out;
  for (std::size_t i = 0; i < count && (count != std::string::npos || units[i] != 0); ++i) {
    char32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF) {
      const bool more = count == std::string::npos ? units[i + 1] != 0 : i + 1 < count;
      char32_t next = more ? units[i + 1] : 0;
      if (next >= 0xDC00 && next <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
        ++i;
      } else {
        appendUtf8(out, kReplacement);
      }
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      appendUtf8(out, kReplacement);
    } else {
      appendUtf8(out, u);
    }
  }
  return out;
}

std::string cfConvertString(const std::u16string& units) {
  return cfConvertString(units.data(), units.size());
}

namespace {

// Length of the well-formed UTF-8 sequence at text[i], or, when it is ill-formed, minus the
// length of its maximal subpart (at least 1).
long utf8SequenceAt(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  long length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return -1;
  }
  for (long k = 1; k < length; ++k) {
    if (i + k >= text.size()) return -k;
    const unsigned char c = byte(i + k);
    if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return -k;
  }
  return length;
}

}  // namespace

std::string cfValidUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const long n = utf8SequenceAt(text, i);
    if (n < 0) break;
    i += static_cast<std::size_t>(n);
  }
  if (i == text.size()) return text;
  std::string out(text, 0, i);
  while (i < text.size()) {
    const long n = utf8SequenceAt(text, i);
    if (n > 0) {
      out.append(text, i, static_cast<std::size_t>(n));
    } else {
      appendUtf8(out, kReplacement);
    }
    i += static_cast<std::size_t>(n > 0 ? n : -n);
  }
  return out;
}
