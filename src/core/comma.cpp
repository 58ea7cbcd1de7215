#include "core/comma.h"

#include <algorithm>
#include <cstring>

namespace tavo {

bool GetCommaTxt(TextView s, FieldList& list) {
  Text current;
  for (char16_t c : s) {
    if (c == u',') {
      list.push_back(std::move(current));
      current.clear();
    } else if (c != u'"') {
      current.push_back(c);
    }
  }
  list.push_back(std::move(current));
  return true;
}

namespace {
bool NeedsQuotes(TextView field, bool strict) {
  for (char16_t c : field) {
    if (c == u'"' || c == u',') return true;
    if (!strict && c >= 0x01 && c <= 0x20) return true;
  }
  return false;
}
}  // namespace

Text JoinCommaTxt(const FieldList& fields, bool strict) {
  if (fields.empty()) return Text();
  if (fields.size() == 1 && fields[0].empty()) return u"\"\"";
  Text out;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out.push_back(u',');
    const Text& f = fields[i];
    if (NeedsQuotes(f, strict)) {
      out.push_back(u'"');
      for (char16_t c : f) {
        if (c == u'"') out.push_back(u'"');
        out.push_back(c);
      }
      out.push_back(u'"');
    } else {
      out += f;
    }
  }
  return out;
}

FieldList ParseCommaTxt(TextView t, char16_t delim, bool strict) {
  FieldList out;
  std::size_t i = 0;
  const std::size_t n = t.size();
  auto isBlank = [](char16_t c) { return c >= 0x01 && c <= 0x20; };
  auto skipBlanks = [&]() {
    if (!strict)
      while (i < n && isBlank(t[i]) && t[i] != delim) ++i;
  };
  skipBlanks();
  while (i < n) {
    Text field;
    if (t[i] == u'"') {
      ++i;
      while (i < n) {
        if (t[i] == u'"') {
          if (i + 1 < n && t[i + 1] == u'"') {
            field.push_back(u'"');
            i += 2;
          } else {
            ++i;
            break;
          }
        } else {
          field.push_back(t[i++]);
        }
      }
    } else {
      while (i < n && t[i] != delim && (strict || !isBlank(t[i]))) field.push_back(t[i++]);
    }
    out.push_back(std::move(field));
    skipBlanks();
    if (i < n && t[i] == delim) {
      if (i + 1 == n) out.emplace_back();
      ++i;
      skipBlanks();
    }
  }
  return out;
}

bool ParseLeadingFieldsBytes(std::string_view t, char delim, bool strict, std::size_t count,
                             std::vector<std::string_view>& out) {
  out.clear();
  std::size_t i = 0;
  const std::size_t n = t.size();
  auto isBlank = [](char c) { return c >= 0x01 && c <= 0x20; };
  auto skipBlanks = [&]() {
    if (!strict)
      while (i < n && isBlank(t[i]) && t[i] != delim) ++i;
  };
  skipBlanks();
  while (i < n && out.size() < count) {
    if (t[i] == '"') return false;
    const std::size_t start = i;
    if (strict) {
      const void* hit = std::memchr(t.data() + i, delim, n - i);
      i = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - t.data()) : n;
    } else {
      while (i < n && t[i] != delim && !isBlank(t[i])) ++i;
    }
    out.push_back(t.substr(start, i - start));
    skipBlanks();
    if (i < n && t[i] == delim) {
      if (i + 1 == n) out.emplace_back();
      ++i;
      skipBlanks();
    }
  }
  if (out.size() > count) out.resize(count);
  return true;
}

std::size_t WidenCommas(Text& value) {
  std::size_t n = 0;
  for (char16_t& c : value) {
    if (c == u',') {
      c = u'\uFF0C';
      ++n;
    }
  }
  return n;
}

std::size_t WidenCommasBytes(std::string& value) {
  const std::size_t n = static_cast<std::size_t>(std::count(value.begin(), value.end(), ','));
  if (n == 0) return 0;
  std::string wide;
  wide.reserve(value.size() + n);
  for (const char c : value) {
    if (c == ',') {
      wide += "\x81\x43";
    } else {
      wide += c;
    }
  }
  value.swap(wide);
  return n;
}

}  // namespace tavo
