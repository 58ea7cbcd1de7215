#include "core/text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tavo {

Text FromUtf8(std::string_view s) {
  Text out;
  out.reserve(s.size());
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(s[i]);
    char32_t cp;
    std::size_t len;
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      len = 4;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (i + len > n) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    bool ok = true;
    for (std::size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    const char32_t minimum = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
    if (!ok || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string ToUtf8(TextView t) {
  std::string out;
  out.reserve(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    char32_t cp = t[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < t.size() && t[i + 1] >= 0xDC00 &&
        t[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // lone surrogate (e.g. an escaped invalid byte)
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

namespace {
inline bool IsTrimmed(char16_t c) { return c <= 0x20; }
}  // namespace

Text Trim(TextView t) {
  std::size_t b = 0, e = t.size();
  while (b < e && IsTrimmed(t[b])) ++b;
  while (e > b && IsTrimmed(t[e - 1])) --e;
  return Text(t.substr(b, e - b));
}

Text TrimLeft(TextView t) {
  std::size_t b = 0;
  while (b < t.size() && IsTrimmed(t[b])) ++b;
  return Text(t.substr(b));
}

Text TrimRight(TextView t) {
  std::size_t e = t.size();
  while (e > 0 && IsTrimmed(t[e - 1])) --e;
  return Text(t.substr(0, e));
}

bool IsBlank(TextView t) {
  for (char16_t c : t)
    if (!IsTrimmed(c)) return false;
  return true;
}

Text ReplaceAll(TextView text, TextView from, TextView to) {
  if (from.empty()) return Text(text);
  Text out;
  std::size_t pos = 0;
  while (true) {
    const std::size_t hit = text.find(from, pos);
    if (hit == TextView::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

Text RemoveChar(TextView text, char16_t ch) {
  Text out;
  out.reserve(text.size());
  for (char16_t c : text)
    if (c != ch) out.push_back(c);
  return out;
}

namespace {
inline char16_t UpperAsciiChar(char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }
}  // namespace

bool SameTextAscii(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperAsciiChar(a[i]) != UpperAsciiChar(b[i])) return false;
  return true;
}

Text UpperAscii(TextView text) {
  Text out(text);
  for (auto& c : out) c = UpperAsciiChar(c);
  return out;
}

namespace {
template <typename Int>
std::optional<Int> ParseInt(TextView t) {
  std::size_t i = 0;
  bool neg = false;
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
    neg = t[i] == u'-';
    ++i;
  }
  if (i >= t.size()) return std::nullopt;
  // Accumulate negatively so that the minimum value parses.
  Int value = 0;
  constexpr Int kMin = std::numeric_limits<Int>::min();
  for (; i < t.size(); ++i) {
    const char16_t c = t[i];
    if (c < u'0' || c > u'9') return std::nullopt;
    const Int d = static_cast<Int>(c - u'0');
    if (value < (kMin + d) / 10) return std::nullopt;
    value = value * 10 - d;
  }
  if (!neg) {
    if (value == kMin) return std::nullopt;
    value = -value;
  }
  return value;
}
}  // namespace

std::optional<std::int32_t> ToInt32(TextView t) { return ParseInt<std::int32_t>(t); }
std::optional<std::int64_t> ToInt64(TextView t) { return ParseInt<std::int64_t>(t); }
std::int32_t ToInt32Def(TextView t, std::int32_t def) { return ToInt32(t).value_or(def); }
std::int64_t ToInt64Def(TextView t, std::int64_t def) { return ToInt64(t).value_or(def); }

std::optional<double> ToNumber(TextView t) {
  // Accept: [sign] digits [. digits] [e [sign] digits], at least one digit in the mantissa.
  std::string ascii;
  std::size_t i = 0;
  auto digits = [&]() {
    std::size_t n = 0;
    while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') {
      ascii.push_back(static_cast<char>(t[i]));
      ++i;
      ++n;
    }
    return n;
  };
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ascii.push_back(static_cast<char>(t[i++]));
  std::size_t mant = digits();
  if (i < t.size() && t[i] == u'.') {
    ascii.push_back('.');
    ++i;
    mant += digits();
  }
  if (mant == 0) return std::nullopt;
  if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
    ascii.push_back('e');
    ++i;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ascii.push_back(static_cast<char>(t[i++]));
    if (digits() == 0) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(ascii.c_str(), &end);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

double ToNumberDef(TextView t, double def) { return ToNumber(t).value_or(def); }

Text Format31(double value) {
  if (!std::isfinite(value)) return u"0.0";
  // The exact decimal expansion of the binary value, then ties away from zero.
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.60f", std::fabs(value));
  std::string s(buf);
  const std::size_t dot = s.find('.');
  std::string intPart = s.substr(0, dot);
  int first = s[dot + 1] - '0';
  const int second = s[dot + 2] - '0';
  if (second >= 5) {
    // Round the one decimal up, carrying into the integer part.
    if (++first == 10) {
      first = 0;
      int k = static_cast<int>(intPart.size()) - 1;
      while (k >= 0) {
        if (intPart[k] == '9') {
          intPart[k] = '0';
          --k;
        } else {
          ++intPart[k];
          break;
        }
      }
      if (k < 0) intPart.insert(intPart.begin(), '1');
    }
  }
  std::string out = intPart + "." + static_cast<char>('0' + first);
  const bool zero = out.find_first_not_of("0.") == std::string::npos;
  if (value < 0 && !zero) out.insert(out.begin(), '-');
  while (out.size() < 3) out.insert(out.begin(), ' ');
  return FromUtf8(out);
}

Text IntToText(std::int64_t value) { return FromUtf8(std::to_string(value)); }

}  // namespace tavo
