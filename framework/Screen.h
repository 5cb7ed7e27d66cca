// The screen-wide cursor table: cursor numbers that controls name in their
// Cursor property, mapped to cursor handles. The negative numbers are the
// system's cursors; programs register their own under positive numbers.
#pragma once

#include <windows.h>

#include <map>

namespace sw {

using TCursor = int;

inline constexpr TCursor crDefault = 0;  // whatever the window class shows
inline constexpr TCursor crNone = -1;    // no cursor at all
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;

class TScreen {
public:
    TScreen() = default;
    ~TScreen();
    TScreen(const TScreen&) = delete;
    TScreen& operator=(const TScreen&) = delete;

    // The cursor registered under the number; the system's arrow for a
    // number that has none.
    HCURSOR Cursors(TCursor index) const;
    bool HasCursor(TCursor index) const;
    // Registers a cursor under a number, replacing what was there. Cursors
    // made by LoadCursor are shared by the system and never destroyed; pass
    // owned = true for one the table must destroy when it is replaced or
    // the table goes. A null cursor removes the number's own entry.
    void SetCursors(TCursor index, HCURSOR cursor, bool owned = false);

private:
    struct Entry {
        HCURSOR cursor;
        bool owned;
    };
    static void Release(const Entry& entry);
    std::map<TCursor, Entry> cursors_;
};

// The one cursor table of the process, made on first use.
TScreen& Screen();

}  // namespace sw
