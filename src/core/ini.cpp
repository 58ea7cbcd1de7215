#include "core/ini.h"

#include "core/cp932.h"
#include "core/files.h"

namespace tavo {

namespace {

struct IniLine {
  Text text;
};

std::vector<Text> LoadIni(const std::filesystem::path& file) {
  if (!FileExists(file)) return {};
  try {
    return LoadWholeFile(file);
  } catch (...) {
    return {};
  }
}

// "[name]" -> name (trimmed); nullopt when the line is no section header.
std::optional<Text> SectionName(TextView line) {
  const Text t = Trim(line);
  if (t.size() >= 2 && t.front() == u'[') {
    const std::size_t close = t.find(u']');
    if (close != Text::npos) return Trim(TextView(t).substr(1, close - 1));
  }
  return std::nullopt;
}

// "key=value" -> key (trimmed); nullopt for lines without "=".
std::optional<Text> KeyName(TextView line) {
  const std::size_t eq = line.find(u'=');
  if (eq == TextView::npos) return std::nullopt;
  return Trim(line.substr(0, eq));
}

bool SameText(TextView a, TextView b) { return SameTextAscii(a, b); }

}  // namespace

Text IFReadIniStr(const std::filesystem::path& programDir, TextView pMKey, TextView pSKey,
                  TextView pDef) {
  const std::vector<Text> lines = LoadIni(programDir / kIniFileName);
  bool inSection = false;
  for (const Text& line : lines) {
    if (auto sec = SectionName(line)) {
      inSection = SameText(*sec, pMKey);
      continue;
    }
    if (!inSection) continue;
    const Text trimmed = TrimLeft(line);
    if (!trimmed.empty() && trimmed[0] == u';') continue;
    if (auto key = KeyName(line); key && SameText(*key, pSKey)) {
      Text value = Trim(TextView(line).substr(line.find(u'=') + 1));
      // Windows strips one pair of surrounding quotes.
      if (value.size() >= 2 && ((value.front() == u'"' && value.back() == u'"') ||
                                (value.front() == u'\'' && value.back() == u'\'')))
        value = value.substr(1, value.size() - 2);
      return value;
    }
  }
  return Text(pDef);
}

bool IFWriteIniStr(const std::filesystem::path& programDir, TextView pMKey, TextView pSKey,
                   TextView pPara) {
  const std::filesystem::path file = programDir / kIniFileName;
  std::vector<Text> lines = LoadIni(file);
  const Text entry = Text(pSKey) + u"=" + Text(pPara);

  // Find the section; set the key there or add it at the section's end.
  std::optional<std::size_t> sectionStart;
  std::size_t sectionEnd = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (auto sec = SectionName(lines[i])) {
      if (sectionStart) {
        sectionEnd = i;
        break;
      }
      if (SameText(*sec, pMKey)) sectionStart = i;
    }
  }
  bool done = false;
  if (sectionStart) {
    for (std::size_t i = *sectionStart + 1; i < sectionEnd; ++i) {
      if (auto key = KeyName(lines[i]); key && SameText(*key, pSKey)) {
        lines[i] = entry;
        done = true;
        break;
      }
    }
    if (!done) {
      // After the section's last non-empty line.
      std::size_t at = sectionEnd;
      while (at > *sectionStart + 1 && IsBlank(lines[at - 1])) --at;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
    }
  } else {
    if (!lines.empty() && !IsBlank(lines.back())) lines.emplace_back();
    lines.push_back(u"[" + Text(pMKey) + u"]");
    lines.push_back(entry);
  }
  try {
    WrtSet(file, lines);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace tavo
