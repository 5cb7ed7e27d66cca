// The guard's own texts and names, byte for byte as users and stored files
// know them (compiled to code page 1252).
#pragma once

namespace sw::guard {

// Files in the system directory.
inline constexpr const char* SettingsFileName = "\\spurl.vxd";
inline constexpr const char* LogFileName = "\\tburl.vxd";
inline constexpr const char* DefaultSwitches = "11100";

// Registry.
inline constexpr const char* StartPageKey = "Software\\Microsoft\\Internet Explorer\\Main";
inline constexpr const char* StartPageValue = "Start Page";
inline constexpr const char* SecondaryPagesValue = "Secondary Start Pages";

// The extra start pages: the settings block's marker, and how a log line and
// a report show them.
inline constexpr const char* PagesMarker = "[Weitere Startseiten]";
inline constexpr const char* PagesShownPrefix = "Weitere Startseiten: ";
inline constexpr const char* PagesShownSeparator = " | ";
inline constexpr const char* PagesShownNone = "(keine)";

// Browser query over DDE.
inline constexpr const char* BrowserService = "IEXPLORE";
inline constexpr const char* WindowInfoTopic = "WWW_GetWindowInfo";
inline constexpr const char* WindowInfoItem = "0xFFFFFFFF";

// Log line and report.
inline constexpr const char* OfflineOffender = "Ein Offline-Bösewicht";
inline constexpr const char* UnknownOffender = "Ein unbekanntes Subjekt...";
inline constexpr const char* TimeSeparator = ">>";
inline constexpr const char* UrlSeparator = " >>Startpage:";
inline constexpr const char* ReportAttempted = "hat versucht, folgende Start-URL einzutragen:";
inline constexpr const char* ReportCorrected = "...URL korrigiert";

// Messages.
inline constexpr const char* SystemDirDenied =
    "Zugriff auf Ihr Systemverzeichnis wurde verweigert! Startwacht kann nicht korrekt ausgeführt werden.";
inline constexpr const char* SettingsDamaged =
    "Eine Kongigurationsdatei war beschädigt! Repariert und Grundeinstellungen auf Standardwerte gesetzt.";
inline constexpr const char* LogWriteFailed = "Ihr System verhindert Schreibzugriffe durch Startwacht!";
inline constexpr const char* SaveAllFailed = "Ihr System verweigert Schreibzugriffe durch Startwacht!";
// A second start whose running copy does not answer.
inline constexpr const char* RunningCopyUnreachable =
    "Startwacht läuft bereits, antwortet aber nicht.\r\n\r\n"
    "Vielleicht ist es gerade beschäftigt, oder es wurde mit anderen Rechten gestartet "
    "(„Als Administrator ausführen“). Öffnen Sie es mit einem Klick auf sein Symbol im Infobereich "
    "der Taskleiste, oder beenden Sie es dort mit „Beenden“ (oder im Task-Manager) und starten Sie "
    "Startwacht dann neu.";

// DDE start-up failures; the error code goes in place of %x.
inline constexpr const char* DdeLowMemory = "Wegen Speichermangel bei DDE ist ein Fehler aufgetreten ($0%x).";
inline constexpr const char* DdeNoConversation = "DDE-Fehler - Konversation konnte nicht eingerichtet werden ($0%x)";
inline constexpr const char* DdeOtherError = "Vom DDE wurde ein Fehler zurückgegeben ($0%x)";

}  // namespace sw::guard
