#include "core/carte.h"

namespace tavo {

Text GetCarte(TextView text) {
  // Leading spaces and a sign are allowed; nothing may follow the digits.
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  const auto value = ToInt64(text.substr(i));
  if (!value || *value == 0) return Text(text);
  return IntToText(*value);
}

}  // namespace tavo
