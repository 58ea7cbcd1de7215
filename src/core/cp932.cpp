// TEMPORARY: iconv-based stand-in until the table-driven codec lands.
#include "core/cp932.h"

#include <iconv.h>

#include <cstring>

namespace tavo {

namespace {
bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

bool DecodePair(unsigned char a, unsigned char b, char16_t& out) {
  static iconv_t cd = iconv_open("UTF-16LE", "CP932");
  char in[2] = {static_cast<char>(a), static_cast<char>(b)};
  char o[8];
  char* ip = in;
  char* op = o;
  size_t il = 2, ol = 8;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || ol != 6) return false;
  out = static_cast<char16_t>(static_cast<unsigned char>(o[0]) | (static_cast<unsigned char>(o[1]) << 8));
  return true;
}

bool EncodeChar(char16_t c, std::string& out) {
  static iconv_t cd = iconv_open("CP932", "UTF-16LE");
  char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  char o[8];
  char* ip = in;
  char* op = o;
  size_t il = 2, ol = 8;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) return false;
  out.append(o, 8 - ol);
  return true;
}
}  // namespace

void Cp932DecodeAppend(std::string_view bytes, Text& out) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out.push_back(b);
    } else if (b >= 0xA1 && b <= 0xDF) {
      out.push_back(static_cast<char16_t>(0xFF61 + (b - 0xA1)));
    } else if (IsLead(b) && i + 1 < bytes.size()) {
      char16_t c;
      if (DecodePair(b, static_cast<unsigned char>(bytes[i + 1]), c)) {
        out.push_back(c);
        ++i;
      } else {
        out.push_back(static_cast<char16_t>(0xDC00 + b));
      }
    } else {
      out.push_back(static_cast<char16_t>(0xDC00 + b));
    }
  }
}

Text Cp932Decode(std::string_view bytes) {
  Text out;
  Cp932DecodeAppend(bytes, out);
  return out;
}

void Cp932EncodeAppend(TextView text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out.push_back(static_cast<char>(c - 0xDC00));
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      out.push_back('?');
      ++i;
    } else if (!EncodeChar(c, out)) {
      out.push_back('?');
    }
  }
}

std::string Cp932Encode(TextView text) {
  std::string out;
  Cp932EncodeAppend(text, out);
  return out;
}

bool Cp932CanEncode(TextView text) {
  for (char16_t c : text) {
    std::string tmp;
    if (c >= 0x80 && !(c >= 0xDC80 && c <= 0xDCFF) && !EncodeChar(c, tmp)) return false;
  }
  return true;
}

}  // namespace tavo
