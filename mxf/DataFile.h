// The search for the library's data files (dictionary and register documents). The data directory setting is
// one library-wide list of directories separated by ';'; "~", its first value, makes the first search take
// the list from the environment variable MXF_DATA_DIR, or "./" when it is not set. Thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace mxf
{

std::string GetDataDirectorySetting();
// "~" asks for the environment again at the next search.
void SetDataDirectorySetting(std::string setting);

// The path of an existing file of that name in the data directories, or the empty text.
std::string FindDataFile(std::string_view name);

// The first existing file of that name in the ';'-separated directories of list, or the empty text. A name
// that is a path of its own ('/', '\', "./", "../", ".\", "..\" or a drive letter in front), or an empty
// list, is taken as it is.
std::string SearchPathList(std::string_view list, std::string_view name);

} // namespace mxf
