#include "AutoRunner.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "framework/Registry.h"
#include "framework/SystemCodePage.h"

namespace sw {

namespace {

// The leading backslash starts the path at the hive's root.
constexpr char kRunKey[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kDesignName[] = "MyApplication";

HKEY Hive(TRegLocation location) {
    return location == TRegLocation::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// The program's path and the Run value go through the wide calls: the ANSI
// ones put "?" for each character of a folder name that the code page lacks
// (a Cyrillic user name on a German Windows), and the value would name no
// file.
std::u16string ProgramPath() {
    std::vector<wchar_t> path(MAX_PATH + 1);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        // A full buffer may hold a cut path (without its NUL on older systems).
        if (length < path.size() || path.size() >= 32768)
            return std::u16string(reinterpret_cast<const char16_t*>(path.data()), std::min<size_t>(length, path.size()));
        path.resize(path.size() * 2);
    }
}

std::wstring WideName(const std::string& name) {
    const std::u16string wide = SystemAnsiCodePage().Decode(name);
    return std::wstring(wide.begin(), wide.end());
}

// The value's text, or empty when it is missing, has no data or has another
// type than a string (no registration).
std::u16string ReadRunValue(const TRegistry& registry, const std::string& name) {
    if (!registry.CurrentKey()) return {};
    return QueryWideStringValue(registry.CurrentKey(), WideName(name).c_str()).value_or(std::u16string());
}

void WriteRunValue(const TRegistry& registry, const std::string& name, const std::u16string& data) {
    if (!registry.CurrentKey()) return;
    // A refused write leaves the value as it was, unreported.
    ::RegSetValueExW(registry.CurrentKey(), WideName(name).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>((data.size() + 1) * 2));
}

template <typename Path>
Path Quoted(const Path& programPath) {
    using Char = typename Path::value_type;
    if (programPath.find(Char(' ')) == Path::npos) return programPath;
    return Char('"') + programPath + Char('"');
}

}  // namespace

std::string RunValueData(const std::string& programPath) { return Quoted(programPath); }
std::u16string RunValueData(const std::u16string& programPath) { return Quoted(programPath); }

TAutoRunner::TAutoRunner(TComponent* owner) : TComponent(owner) {
    if (!IsRuntime()) SetAppName(kDesignName);
}

bool TAutoRunner::IsRuntime() const { return !InState(csDesigning | csReading | csLoading); }

void TAutoRunner::SetRegLocation(TRegLocation location) {
    if (location == regLocation_) return;
    ApplyAutoRun(location, appName_);
    regLocation_ = location;
}

void TAutoRunner::SetAutoRun(bool value) {
    // While loaded or designed the stored value means nothing: the read-back
    // of AppName decides.
    if (value == autoRun_ || !IsRuntime()) return;
    autoRun_ = value;
    ApplyAutoRun(regLocation_, appName_);
}

void TAutoRunner::SetAppName(const std::string& name) {
    if (InState(csLoading)) {
        appName_ = name;
        ReadBack();
        return;
    }
    // Once running, the name is fixed: a value written under it must stay
    // findable.
    if (IsRuntime()) return;
    if (!name.empty() && name != appName_) appName_ = name;
}

void TAutoRunner::ApplyAutoRun(TRegLocation location, const std::string& name) {
    if (!IsRuntime()) return;
    try {
        TRegistry registry(KEY_ALL_ACCESS);
        // Deleting fails harmlessly where there is no value, no key or no right.
        registry.SetRootKey(HKEY_CURRENT_USER);
        registry.OpenKey(kRunKey);
        registry.DeleteValue(name);
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        registry.OpenKey(kRunKey);
        registry.DeleteValue(name);
        registry.SetRootKey(Hive(location));
        registry.OpenKey(kRunKey);  // never created: without it the write fails
        if (autoRun_) WriteRunValue(registry, name, RunValueData(ProgramPath()));
    } catch (const std::exception&) {
        // Autostart is a convenience: a write that the user's rights or a
        // missing key prevent leaves everything as it is, unreported.
    }
}

void TAutoRunner::ReadBack() {
    std::u16string text;
    try {
        TRegistry registry(KEY_ALL_ACCESS);
        registry.SetRootKey(HKEY_CURRENT_USER);
        if (registry.OpenKey(kRunKey)) text = ReadRunValue(registry, appName_);
        if (!text.empty()) {
            regLocation_ = TRegLocation::CurrentUser;
        } else {
            registry.SetRootKey(HKEY_LOCAL_MACHINE);
            if (registry.OpenKey(kRunKey)) text = ReadRunValue(registry, appName_);
            if (!text.empty()) regLocation_ = TRegLocation::LocalMachine;
        }
    } catch (const std::exception&) {
        // Whatever could not be read counts as no registration.
    }
    // Only presence counts, not the data: an unquoted path of an older
    // registration, or another program's, is a registration too.
    autoRun_ = !text.empty();
}

}  // namespace sw
