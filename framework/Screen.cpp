#include "Screen.h"

namespace sw {

namespace {

// The system's cursors by their negative numbers.
LPCSTR SystemCursorName(TCursor index) {
    switch (index) {
        case crArrow: return IDC_ARROW;
        case crCross: return IDC_CROSS;
        case crIBeam: return IDC_IBEAM;
        case crSizeNESW: return IDC_SIZENESW;
        case crSizeNS: return IDC_SIZENS;
        case crSizeNWSE: return IDC_SIZENWSE;
        case crSizeWE: return IDC_SIZEWE;
        case crUpArrow: return IDC_UPARROW;
        case crHourGlass: return IDC_WAIT;
        case crNo: return IDC_NO;
        case crAppStart: return IDC_APPSTARTING;
        case crHelp: return IDC_HELP;
        case crHandPoint: return IDC_HAND;
        case crSizeAll: return IDC_SIZEALL;
        default: return nullptr;
    }
}

}  // namespace

TScreen::~TScreen() {
    for (const auto& [index, entry] : cursors_) Release(entry);
}

void TScreen::Release(const Entry& entry) {
    if (entry.owned) ::DestroyCursor(entry.cursor);
}

HCURSOR TScreen::Cursors(TCursor index) const {
    if (const auto it = cursors_.find(index); it != cursors_.end()) return it->second.cursor;
    if (index == crNone) return nullptr;
    if (LPCSTR name = SystemCursorName(index))
        if (HCURSOR cursor = ::LoadCursorA(nullptr, name)) return cursor;
    return ::LoadCursorA(nullptr, IDC_ARROW);
}

bool TScreen::HasCursor(TCursor index) const { return cursors_.count(index) != 0; }

void TScreen::SetCursors(TCursor index, HCURSOR cursor, bool owned) {
    const auto it = cursors_.find(index);
    if (it != cursors_.end()) {
        if (it->second.cursor == cursor) {
            it->second.owned = owned;
            return;
        }
        Release(it->second);
        cursors_.erase(it);
    }
    if (cursor) cursors_.emplace(index, Entry{cursor, owned});
}

TScreen& Screen() {
    static TScreen screen;
    return screen;
}

}  // namespace sw
