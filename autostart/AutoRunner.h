// Autostart: a value named AppName in a "Run" key of the registry starts the
// program with Windows. While its owner loads it, the component reads back
// whether such a value exists; once running, switching AutoRun writes or
// removes the value. Registry failures are never reported: the properties
// keep what the caller gave.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Component.h"

namespace sw {

enum class TRegLocation : uint8_t {
    CurrentUser = 0,   // HKEY_CURRENT_USER
    LocalMachine = 1,  // HKEY_LOCAL_MACHINE
};

// The data of a Run value that starts the program at the given path. A path
// with a blank is put in double quotes: unquoted, Windows would first try
// each shorter prefix of it that ends at a blank (C:\Program.exe for a
// program under C:\Program Files).
std::string RunValueData(const std::string& programPath);
std::u16string RunValueData(const std::u16string& programPath);

class TAutoRunner : public TComponent {
public:
    explicit TAutoRunner(TComponent* owner);

    // Stored properties, in the order in which a stored description sets them.
    TRegLocation RegLocation() const { return regLocation_; }
    void SetRegLocation(TRegLocation location);
    bool AutoRun() const { return autoRun_; }
    void SetAutoRun(bool value);
    const std::string& AppName() const { return appName_; }
    void SetAppName(const std::string& name);

    // Neither designed, nor read, nor loaded.
    bool IsRuntime() const;

protected:
    // Brings the registry in line with AutoRun: the value is removed from both
    // hives and, when AutoRun is on, written under the given one.
    void ApplyAutoRun(TRegLocation location, const std::string& name);

private:
    // The registration as the registry holds it, read while loading.
    void ReadBack();

    TRegLocation regLocation_ = TRegLocation::CurrentUser;
    bool autoRun_ = false;
    std::string appName_;
};

}  // namespace sw
