#include "short_name.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace velqlfn {
namespace {

bool IsShortNameChar(unsigned char c) {
  return c < 0x80 && (std::isalnum(c) || std::strchr("!#$%&'()-@^_`{}~", c) != nullptr);
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The stem and extension from which a name's alias is made: leading dots,
// blanks and inner dots dropped, other characters that 8.3 names cannot
// hold turned into '_', upper case, the extension cut to 3 characters.
struct AliasParts {
  std::string stem;
  std::string ext;
};

AliasParts AliasPartsOf(std::string_view name) {
  name.remove_prefix(std::min(name.find_first_not_of('.'), name.size()));
  std::size_t dot = name.rfind('.');
  auto clean = [](std::string_view part) {
    std::string out;
    for (unsigned char c : part) {
      if (c == ' ' || c == '.') continue;
      out.push_back(IsShortNameChar(c) ? static_cast<char>(std::toupper(c)) : '_');
    }
    return out;
  };
  AliasParts parts{clean(name.substr(0, dot)), dot == std::string_view::npos ? "" : clean(name.substr(dot + 1))};
  if (parts.stem.empty()) parts.stem.push_back('_');
  if (parts.ext.size() > 3) parts.ext.resize(3);
  return parts;
}

std::string Alias(const AliasParts& parts, int number) {
  // Built by appending into one string: GCC 12 misreads the temporaries of
  // chained string concatenation at -O3 (a false -Wrestrict).
  char tail[16];
  const int tailLen = std::snprintf(tail, sizeof tail, "~%d", number);
  std::string alias(parts.stem, 0, 8 - std::min<std::size_t>(8, static_cast<std::size_t>(tailLen)));
  alias.append(tail, static_cast<std::size_t>(tailLen));
  if (!parts.ext.empty()) {
    alias.push_back('.');
    alias.append(parts.ext);
  }
  return alias;
}

}  // namespace

bool FitsShortForm(std::string_view name) {
  std::size_t dot = name.find('.');
  std::string_view base = name.substr(0, dot);
  std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string_view::npos && ext.empty()) return false;
  auto ok = [](std::string_view part) { return std::all_of(part.begin(), part.end(), IsShortNameChar); };
  return ok(base) && ok(ext);
}

std::string ShortName(const std::string& dir, const std::string& name) {
  if (FitsShortForm(name)) return name;
  std::set<std::string> taken;
  std::vector<std::string> needAlias{name};
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(d)) {
      std::string other = entry->d_name;
      if (FitsShortForm(other))
        taken.insert(Upper(other));
      else if (other != name && other != "." && other != "..")
        needAlias.push_back(std::move(other));
    }
    closedir(d);
  }
  std::sort(needAlias.begin(), needAlias.end());
  std::map<std::string, int> nextNumber;  // per stem prefix and extension
  for (const std::string& other : needAlias) {
    AliasParts parts = AliasPartsOf(other);
    int& number = nextNumber[parts.stem.substr(0, 6) + "." + parts.ext];
    std::string alias;
    do alias = Alias(parts, ++number);
    while (taken.count(alias) != 0);
    if (other == name) return alias;
    taken.insert(alias);
  }
  return Alias(AliasPartsOf(name), 1);  // not reached: `name` is in the list
}

}  // namespace velqlfn
