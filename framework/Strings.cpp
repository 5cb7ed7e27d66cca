#include "Strings.h"

#include "Exceptions.h"
#include "TextFile.h"
#include "TextLines.h"

namespace sw {

namespace {

void CheckIndex(int index, int count) {
    if (index < 0 || index >= count)
        throw EInvalidOperation("Listenindex überschreitet das Maximum (" + std::to_string(index) + ")");
}

}  // namespace

void TStrings::Put(int index, const std::string& text) {
    Delete(index);
    Insert(index, text);
}

int TStrings::Add(const std::string& text) {
    const int index = Count();
    Insert(index, text);
    return index;
}

std::vector<std::string> TStrings::ToVector() const {
    std::vector<std::string> lines;
    const int count = Count();
    lines.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) lines.push_back(Get(i));
    return lines;
}

std::string TStrings::ToText() const { return JoinTextLines(ToVector()); }

void TStrings::Assign(const std::vector<std::string>& lines) {
    TStringsUpdate update(*this);
    Clear();
    for (const auto& line : lines) Add(line);
}

void TStrings::BeginUpdate() {
    if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0) SetUpdateState(false);
}

TStringsUpdate::~TStringsUpdate() {
    try {
        strings_.EndUpdate();
    } catch (...) {
        // Only the final redraw and measuring can fail here; the lines
        // themselves are in place.
    }
}

void TStrings::LoadFromFile(const std::string& path) { Assign(SplitTextLines(ReadWholeFile(path))); }

void TStrings::SaveToFile(const std::string& path) const { WriteWholeFile(path, ToText()); }

std::string TStringList::Get(int index) const {
    CheckIndex(index, Count());
    return lines_[static_cast<size_t>(index)];
}

void TStringList::Put(int index, const std::string& text) {
    CheckIndex(index, Count());
    lines_[static_cast<size_t>(index)] = text;
}

void TStringList::Insert(int index, const std::string& text) {
    CheckIndex(index, Count() + 1);
    lines_.insert(lines_.begin() + index, text);
}

int TStringList::Add(const std::string& text) {
    lines_.push_back(text);
    return Count() - 1;
}

void TStringList::Delete(int index) {
    CheckIndex(index, Count());
    lines_.erase(lines_.begin() + index);
}

}  // namespace sw
