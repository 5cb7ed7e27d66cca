// The framework's own user-visible texts. The sources are UTF-8; the compiler
// turns every literal into code page 1252 bytes, which the A functions expect.
#pragma once

namespace sw::texts {

inline constexpr const char* FileCreateError = "Datei %s kann nicht erstellt werden";
inline constexpr const char* FileOpenError = "Datei %s kann nicht geöffnet werden";
inline constexpr const char* RegSetDataFailed = "Fehler beim Setzen der Daten für '%s'";
inline constexpr const char* RegInvalidDataType = "Ungültiger Datentyp für '%s'";
inline constexpr const char* InvalidInteger = "'%s' ist kein gültiger Integerwert";
inline constexpr const char* OutOfTimers = "Nicht genügend Timer verfügbar";

}  // namespace sw::texts
