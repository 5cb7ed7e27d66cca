#include "AutoRunner.h"

#include <windows.h>

#include "framework/Exceptions.h"
#include "framework/Registry.h"

namespace sw {

namespace {

// The leading backslash starts the path at the hive's root.
constexpr char kRunKey[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kDesignName[] = "MyApplication";

HKEY Hive(TRegLocation location) {
    return location == TRegLocation::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::string ProgramPath() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

// The value's text, or empty when it is missing, has no data or has another
// type than a string.
std::string ReadRunValue(TRegistry& registry, const std::string& name) {
    try {
        return registry.ReadString(name);
    } catch (const ERegistryException&) {
        return {};  // a value of another type is no registration
    }
}

}  // namespace

std::string RunValueData(const std::string& programPath) {
    if (programPath.find(' ') == std::string::npos) return programPath;
    return '"' + programPath + '"';
}

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
        if (autoRun_) registry.WriteString(name, RunValueData(ProgramPath()));
    } catch (const std::exception&) {
        // Autostart is a convenience: a write that the user's rights or a
        // missing key prevent leaves everything as it is, unreported.
    }
}

void TAutoRunner::ReadBack() {
    std::string text;
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
