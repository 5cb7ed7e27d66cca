// Whole-file text lists: the line rules shared by the settings and the log.
// No Windows dependency.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sw {

// Splits file content into lines. A line ends at CR LF, a lone CR or a lone
// LF; a last line without line end is still a line; a line end at the very end
// makes no empty last line; reading stops at the first NUL byte.
std::vector<std::string> SplitTextLines(std::string_view data);

// Joins lines for a file: every line, the last one included, is followed by
// CR LF. No lines give an empty text.
std::string JoinTextLines(const std::vector<std::string>& lines);

}  // namespace sw
