#include "SecondaryPages.h"

#include "GuardTexts.h"
#include "StoredAddress.h"

namespace sw::guard {

namespace {

// The index of the block's marker line, from the third line on.
std::optional<size_t> MarkerAt(const std::vector<std::string>& lines) {
    const std::string_view marker = PagesMarker;
    for (size_t at = 2; at < lines.size(); ++at) {
        const std::string_view line = lines[at];
        if (line.substr(0, marker.size()) != marker || line.size() < marker.size() + 2 || line[marker.size()] != ' ')
            continue;
        const std::string_view digits = line.substr(marker.size() + 1);
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos) continue;
        return at;
    }
    return std::nullopt;
}

size_t CountOf(const std::string& markerLine) { return std::stoul(markerLine.substr(std::string_view(PagesMarker).size() + 1)); }

}  // namespace

std::optional<TPages> PagesOfSettings(const std::vector<std::string>& lines) {
    const auto at = MarkerAt(lines);
    if (!at) return std::nullopt;
    const size_t count = std::min(CountOf(lines[*at]), lines.size() - *at - 1);
    return TPages(lines.begin() + static_cast<ptrdiff_t>(*at + 1),
                  lines.begin() + static_cast<ptrdiff_t>(*at + 1 + count));
}

void PutPagesIntoSettings(std::vector<std::string>& lines, const TPages& pages) {
    while (lines.size() < 2) lines.emplace_back(lines.empty() ? "" : DefaultSwitches);
    size_t at = lines.size();
    if (const auto marker = MarkerAt(lines)) {
        at = *marker;
        const size_t count = std::min(CountOf(lines[at]), lines.size() - at - 1);
        lines.erase(lines.begin() + static_cast<ptrdiff_t>(at), lines.begin() + static_cast<ptrdiff_t>(at + 1 + count));
    }
    std::vector<std::string> block;
    block.reserve(pages.size() + 1);
    block.push_back(std::string(PagesMarker) + " " + std::to_string(pages.size()));
    block.insert(block.end(), pages.begin(), pages.end());
    lines.insert(lines.begin() + static_cast<ptrdiff_t>(at), block.begin(), block.end());
}

std::vector<std::u16string> SplitMultiString(std::u16string_view data) {
    std::vector<std::u16string> pages;
    size_t at = 0;
    while (at < data.size()) {
        const size_t end = std::min(data.find(u'\0', at), data.size());
        if (end == at) break;  // the empty string that ends the list
        pages.emplace_back(data.substr(at, end - at));
        at = end + 1;
    }
    return pages;
}

std::u16string MultiStringOf(const std::vector<std::u16string>& pages) {
    std::u16string data;
    for (const std::u16string& page : pages) {
        data += page;
        data += u'\0';
    }
    data += u'\0';
    return data;
}

std::vector<std::u16string> PagesOfFieldText(std::u16string_view text) {
    std::vector<std::u16string> pages;
    size_t at = 0;
    while (at <= text.size()) {
        const size_t end = std::min(text.find_first_of(u"\r\n", at), text.size());
        if (end > at) pages.emplace_back(text.substr(at, end - at));
        at = end + 1;
    }
    return pages;
}

std::u16string FieldTextOfPages(const std::vector<std::u16string>& pages) {
    std::u16string text;
    for (const std::u16string& page : pages) {
        if (!text.empty()) text += u"\r\n";
        text += page;
    }
    return text;
}

TPages StoredPages(const std::vector<std::u16string>& pages, const AnsiCodePage& codePage) {
    TPages stored;
    stored.reserve(pages.size());
    for (const std::u16string& page : pages) stored.push_back(StoredAddress(page, codePage));
    return stored;
}

std::vector<std::u16string> PagesOfStored(const TPages& stored, const AnsiCodePage& codePage) {
    std::vector<std::u16string> pages;
    pages.reserve(stored.size());
    for (const std::string& page : stored) pages.push_back(AddressOfStored(page, codePage));
    return pages;
}

std::string ShownPages(const TPages& stored, const AnsiCodePage& codePage) {
    std::string shown = PagesShownPrefix;
    if (stored.empty()) return shown + PagesShownNone;
    for (size_t index = 0; index < stored.size(); ++index) {
        if (index > 0) shown += PagesShownSeparator;
        shown += DisplayedAddress(stored[index], codePage);
    }
    return shown;
}

}  // namespace sw::guard
