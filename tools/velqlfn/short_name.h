// 8.3 short names for velqlfn's translations.
#pragma once

#include <string>
#include <string_view>

namespace velqlfn {

// Whether `name` is an 8.3 name as it stands: 1 to 8 characters, optionally
// a dot and 1 to 3 more, all of them letters, digits or !#$%&'()-@^_`{}~.
bool FitsShortForm(std::string_view name);

// The 8.3 form of `name`, a file of directory `dir`: `name` itself when it
// fits, else an upper-case alias NAME~n.EXT. The names of the directory that
// do not fit get their aliases in byte order, each the lowest n whose alias
// is neither a name of the directory nor an earlier alias, so aliases are
// unique within the directory while it does not change. An unreadable
// directory gives the first alias.
std::string ShortName(const std::string& dir, const std::string& name);

}  // namespace velqlfn
