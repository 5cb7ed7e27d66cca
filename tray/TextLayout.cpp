#include "TextLayout.h"

namespace sw {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (auto cr = text.find('\r'); cr != std::string::npos; cr = text.find('\r', start)) {
        lines.push_back(text.substr(start, cr - start));
        start = cr + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

}  // namespace sw
