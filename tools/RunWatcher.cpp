// Shows in the terminal of tools/run.sh what the running Startwacht does.
// Run in the same Wine session as the program, with its output to a pipe:
// it waits on the guarded registry value and prints, with the time, every
// foreign start page written there and the moment the protected one is back
// ("abgewehrt: ..."), and every message window the program opens or closes.
// It watches the registry itself, so it sees each restoration at once,
// whether or not a report window is open and whatever the log switch says.
//
//   RunWatcher.exe [--demo N] [--every S] [--stop-on-input]
//
// --demo N       plays a hijacker: writes a foreign start page N times, one
//                every S seconds (default 4), lets the guard undo each one,
//                and closes each report window of its own attempts after a
//                few seconds, since nobody may be there to click OK.
// --stop-on-input ends at the first input line or at the end of the input;
//                an attempt of the demo that the guard has not undone yet is
//                waited for first.
//
// All texts are wide internally; the output is UTF-8 (the terminal's), the
// settings file is in the ANSI code page (the program's).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "app/StoredAddress.h"
#include "framework/SystemCodePage.h"

namespace {

constexpr const wchar_t* MainKey = L"Software\\Microsoft\\Internet Explorer\\Main";
constexpr const wchar_t* StartPageValue = L"Start Page";
constexpr const wchar_t* ProgramTitle = L"Startwacht";
// The second line of the program's report of an attempt.
constexpr const wchar_t* ReportLine = L"hat versucht, folgende Start-URL einzutragen:";
constexpr DWORD PollMs = 250;
// The demo gives the guard this long to undo an attempt before it puts the
// old value back itself.
constexpr DWORD GuardDeadlineMs = 15000;
// A report of a demo attempt stays this long on screen.
constexpr DWORD ReportShownMs = 3000;

class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() {
        if (h_ && h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

class Key {
public:
    Key() = default;
    ~Key() { Close(); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    bool Open(REGSAM access) {
        Close();
        return ::RegOpenKeyExW(HKEY_CURRENT_USER, MainKey, 0, access, &h_) == ERROR_SUCCESS;
    }
    void Close() {
        if (h_) ::RegCloseKey(h_);
        h_ = nullptr;
    }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

// The value as stored: whether it exists, its type and its bytes.
struct StoredValue {
    bool exists = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    // The text the guard sees: a string value up to its first NUL, empty
    // for anything else.
    std::wstring Text() const {
        if (!exists || (type != REG_SZ && type != REG_EXPAND_SZ)) return L"";
        std::wstring text(data.size() / sizeof(wchar_t), L'\0');
        if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
        return text.substr(0, text.find(L'\0'));
    }
    bool operator==(const StoredValue& o) const { return exists == o.exists && type == o.type && data == o.data; }
};

StoredValue ReadValue(HKEY key) {
    StoredValue v;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key, StartPageValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return v;
    std::vector<BYTE> data(size);
    if (::RegQueryValueExW(key, StartPageValue, nullptr, &type, size ? data.data() : nullptr, &size) != ERROR_SUCCESS)
        return v;
    data.resize(size);
    v.exists = true;
    v.type = type;
    v.data = std::move(data);
    return v;
}

// The terminal's code page.
constexpr UINT OutputCodePage = CP_UTF8;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = ::WideCharToMultiByte(OutputCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(OutputCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

void Say(const std::wstring& text) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t stamp[16];
    std::swprintf(stamp, 16, L"%02u:%02u:%02u ", now.wHour, now.wMinute, now.wSecond);
    std::string line = Utf8(stamp + text) + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::wstring Shown(const StoredValue& v) {
    if (!v.exists) return L"(kein Wert)";
    if (v.type != REG_SZ && v.type != REG_EXPAND_SZ) return L"(kein Text)";
    std::wstring text = v.Text();
    return text.empty() ? L"(leer)" : text;
}

// The protected address: the first line of the program's settings file in
// its system directory, or nothing while the file does not exist.
bool ReadProtected(std::wstring& out) {
    wchar_t dir[MAX_PATH + 1] = {};
    ::GetSystemDirectoryW(dir, MAX_PATH);
    std::wstring path = std::wstring(dir) + L"\\spurl.vxd";
    Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return false;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    bytes = bytes.substr(0, bytes.find('\0'));
    // The address in its stored form: ANSI bytes, or the marked UTF-8 form
    // of an address that the code page lacks.
    const std::u16string address =
        sw::guard::AddressOfStored(bytes.substr(0, bytes.find_first_of("\r\n")), sw::SystemAnsiCodePage());
    out.assign(address.begin(), address.end());
    return true;
}

std::wstring WindowText(HWND window) {
    wchar_t text[2048] = {};
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000,
                               &result))
        return L"";
    return text;
}

// The program's message windows: dialogs of another process captioned
// with the program's title.
BOOL CALLBACK AddMessageWindow(HWND w, LPARAM param) {
    wchar_t cls[32] = {}, title[64] = {};
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    if (pid != ::GetCurrentProcessId() && ::IsWindowVisible(w) && ::GetClassNameW(w, cls, 32) &&
        std::wcscmp(cls, L"#32770") == 0 && ::GetWindowTextW(w, title, 64) && std::wcscmp(title, ProgramTitle) == 0) {
        try {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(w);
        } catch (...) {
            return FALSE;  // out of memory: the windows found so far
        }
    }
    return TRUE;
}

std::vector<HWND> MessageWindows() {
    std::vector<HWND> found;
    ::EnumWindows(AddMessageWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The text of a message window, its lines joined by " / ".
std::wstring MessageText(HWND box) {
    HWND label = ::GetDlgItem(box, 0xFFFF);
    std::wstring text = label ? WindowText(label) : L"";
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' || text[i] == L'\n') {
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            out += L" / ";
        } else {
            out += text[i];
        }
    }
    return out;
}

DWORD WINAPI WaitForInput(void* stopEvent) {
    // Any byte or the end of the input means: stop.
    char byte;
    DWORD got = 0;
    ::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr);
    ::SetEvent(static_cast<HANDLE>(stopEvent));
    return 0;
}

class Watcher {
public:
    Watcher(int demoAttempts, DWORD demoEveryMs)
        : demoLeft_(demoAttempts), demoTotal_(demoAttempts), demoEveryMs_(demoEveryMs) {}

    void Run(HANDLE stop) {
        Handle changed(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        bool keyMissingSaid = false;
        while (!key_.Open(KEY_QUERY_VALUE | KEY_NOTIFY | KEY_SET_VALUE)) {
            if (!keyMissingSaid)
                Say(L"Der Schlüssel HKCU\\Software\\Microsoft\\Internet Explorer\\Main fehlt; warte auf ihn.");
            keyMissingSaid = true;
            if (stop && ::WaitForSingleObject(stop, 1000) == WAIT_OBJECT_0) return;
            if (!stop) ::Sleep(1000);
        }
        ::RegNotifyChangeKeyValue(key_.get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed.get(), TRUE);
        last_ = ReadValue(key_.get());
        std::wstring guarded;
        if (ReadProtected(guarded)) Say(L"Geschützte Startseite: " + (guarded.empty() ? L"(leer)" : guarded));
        Say(L"Eingetragen ist: " + Shown(last_));
        lastForeign_ = IsForeign(last_);

        HANDLE events[2] = {changed.get(), stop};
        bool stopping = false;
        DWORD stopAt = 0;
        for (;;) {
            // The stop event stays signalled: once stopping, only the key.
            DWORD r = ::WaitForMultipleObjects(stop && !stopping ? 2 : 1, events, FALSE, PollMs);
            if (r == WAIT_OBJECT_0)
                ::RegNotifyChangeKeyValue(key_.get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed.get(), TRUE);
            if (r == WAIT_OBJECT_0 + 1 && !stopping) {
                stopping = true;
                stopAt = ::GetTickCount();
                if (demoLeft_ > 0 || demoPending_) Say(L"Vorführung abgebrochen.");
                demoLeft_ = 0;
            }
            CheckValue();
            CheckMessages();
            if (stopping) {
                if (!demoPending_) return;
                if (::GetTickCount() - stopAt > GuardDeadlineMs / 3) {
                    PutBackDemoValue();
                    return;
                }
                continue;
            }
            DemoStep();
            SayDemoEnd();
        }
    }

private:
    bool IsForeign(const StoredValue& v) {
        std::wstring guarded;
        if (!ReadProtected(guarded)) return false;
        return v.Text() != guarded;
    }

    void CheckValue() {
        StoredValue now = ReadValue(key_.get());
        if (now == last_) return;
        std::wstring guarded;
        bool known = ReadProtected(guarded);
        bool foreign = known && now.Text() != guarded;
        if (foreign) {
            Say(L"Fremde Startseite eingetragen: " + Shown(now));
        } else if (lastForeign_) {
            Say(L"abgewehrt: " + Shown(last_) + L" (wieder " + Shown(now) + L")");
            if (demoPending_ && last_.Text() == demoText_) {
                demoPending_ = false;
                demoRestoredAt_ = ::GetTickCount();
            }
        } else if (known) {
            Say(L"Neue geschützte Startseite: " + Shown(now));
        }
        last_ = now;
        lastForeign_ = foreign;
    }

    void CheckMessages() {
        std::vector<HWND> now = MessageWindows();
        std::set<HWND> current(now.begin(), now.end());
        for (HWND w : now) {
            if (shown_.count(w)) continue;
            std::wstring text = MessageText(w);
            Say(L"Meldung offen: " + text);
            // A report is shown inside the guard's cycle, which goes on
            // only once it is closed.
            if (text.find(ReportLine) != std::wstring::npos)
                Say(L"  (Startwacht wartet auf OK und prüft bis dahin nicht weiter.)");
            if (!demoText_.empty() && text.find(demoText_) != std::wstring::npos) {
                demoBox_ = w;
                demoBoxSeenAt_ = ::GetTickCount();
            }
        }
        for (HWND w : shown_)
            if (!current.count(w)) Say(L"Meldung geschlossen.");
        shown_ = std::move(current);
    }

    void DemoStep() {
        if (demoBox_) {
            if (!shown_.count(demoBox_)) {
                demoBox_ = nullptr;
            } else if (::GetTickCount() - demoBoxSeenAt_ >= ReportShownMs) {
                Say(L"Vorführung: schließt die Meldung mit OK.");
                ::PostMessageW(demoBox_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(demoBox_, IDOK)));
                demoBox_ = nullptr;
                demoRestoredAt_ = ::GetTickCount();
            }
            return;
        }
        if (demoPending_) {
            if (::GetTickCount() - demoWrittenAt_ > GuardDeadlineMs) {
                Say(L"Startwacht hat den Versuch nicht abgewehrt.");
                PutBackDemoValue();
                demoLeft_ = 0;
            }
            return;
        }
        if (demoLeft_ <= 0) return;
        // The next attempt only against a guard at rest: the protected
        // address in place, no message window open, the report of the last
        // attempt given its moment.
        std::wstring guarded;
        if (!ReadProtected(guarded) || lastForeign_ || !shown_.empty()) return;
        DWORD now = ::GetTickCount();
        if (demoTotal_ == demoLeft_) {
            if (!demoReadyAt_) demoReadyAt_ = now;
            if (now - demoReadyAt_ < 2000) return;  // the program's first ticks
        } else if (now - demoWrittenAt_ < demoEveryMs_ || now - demoRestoredAt_ < 1000) {
            return;
        }
        int attempt = demoTotal_ - demoLeft_ + 1;
        demoText_ = L"http://www.startseiten-räuber.example/versuch-" + std::to_wstring(attempt);
        demoBefore_ = last_;
        Say(L"Vorführung: Versuch " + std::to_wstring(attempt) + L" von " + std::to_wstring(demoTotal_) +
            L", trägt " + demoText_ + L" ein.");
        const BYTE* data = reinterpret_cast<const BYTE*>(demoText_.c_str());
        DWORD size = static_cast<DWORD>((demoText_.size() + 1) * sizeof(wchar_t));
        if (::RegSetValueExW(key_.get(), StartPageValue, 0, REG_SZ, data, size) != ERROR_SUCCESS) {
            Say(L"Vorführung: der Wert lässt sich nicht schreiben; sie hört auf.");
            demoLeft_ = 0;
            return;
        }
        // What the demo wrote is known without reading it back: the guard's
        // watch may have put the protected address back before this loop
        // looks again, and the restoration must still be told.
        last_ = StoredValue{true, REG_SZ, std::vector<BYTE>(data, data + size)};
        lastForeign_ = true;
        Say(L"Fremde Startseite eingetragen: " + Shown(last_));
        demoPending_ = true;
        demoWrittenAt_ = now;
        if (--demoLeft_ == 0) finalSaid_ = false;
    }

    void SayDemoEnd() {
        // After the last attempt's report, if one comes.
        if (!finalSaid_ && demoLeft_ == 0 && !demoPending_ && !demoBox_ && shown_.empty() &&
            ::GetTickCount() - demoRestoredAt_ >= 2000) {
            finalSaid_ = true;
            Say(L"Vorführung beendet. Startwacht wacht weiter.");
        }
    }

    // The guard did not undo the demo's value: the value found before the
    // attempt goes back, unless someone else has written meanwhile.
    void PutBackDemoValue() {
        if (!demoPending_) return;
        demoPending_ = false;
        StoredValue now = ReadValue(key_.get());
        if (now.Text() != demoText_) return;
        LONG r = demoBefore_.exists
                     ? ::RegSetValueExW(key_.get(), StartPageValue, 0, demoBefore_.type,
                                        demoBefore_.data.empty() ? nullptr : demoBefore_.data.data(),
                                        static_cast<DWORD>(demoBefore_.data.size()))
                     : ::RegDeleteValueW(key_.get(), StartPageValue);
        Say(r == ERROR_SUCCESS ? L"Vorführung: der vorige Wert ist wieder eingetragen: " + Shown(demoBefore_)
                               : L"Vorführung: der vorige Wert ließ sich nicht zurückschreiben: " + Shown(demoBefore_));
    }

    Key key_;
    StoredValue last_;
    bool lastForeign_ = false;
    std::set<HWND> shown_;
    int demoLeft_;
    int demoTotal_;
    DWORD demoEveryMs_;
    bool demoPending_ = false;
    std::wstring demoText_;
    StoredValue demoBefore_;
    DWORD demoWrittenAt_ = 0;
    DWORD demoRestoredAt_ = 0;
    DWORD demoReadyAt_ = 0;
    HWND demoBox_ = nullptr;
    DWORD demoBoxSeenAt_ = 0;
    bool finalSaid_ = true;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int demo = 0;
    double every = 4;
    bool stopOnInput = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--demo" && i + 1 < argc) demo = std::wcstol(argv[++i], nullptr, 10);
        else if (a == L"--every" && i + 1 < argc) every = std::wcstod(argv[++i], nullptr);
        else if (a == L"--stop-on-input") stopOnInput = true;
        else {
            std::fprintf(stderr, "RunWatcher [--demo N] [--every S] [--stop-on-input]\n");
            return 2;
        }
    }
    Handle stop(stopOnInput ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr) : nullptr);
    Handle reader(stopOnInput ? ::CreateThread(nullptr, 0, WaitForInput, stop.get(), 0, nullptr) : nullptr);
    Watcher watcher(demo, static_cast<DWORD>(every * 1000));
    watcher.Run(stop.get());
    return 0;
}
