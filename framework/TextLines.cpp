#include "TextLines.h"

namespace sw {

std::vector<std::string> SplitTextLines(std::string_view data) {
    const size_t nul = data.find('\0');
    if (nul != std::string_view::npos) data = data.substr(0, nul);

    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < data.size()) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(data.substr(start, i - start));
            ++i;
            if (c == '\r' && i < data.size() && data[i] == '\n') ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < data.size()) lines.emplace_back(data.substr(start));
    return lines;
}

std::string JoinTextLines(const std::vector<std::string>& lines) {
    size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace sw
