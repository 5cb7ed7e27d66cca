// Temporary stand-ins for the periodic timer and the autostart component,
// with their interfaces, until the real components are merged.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Component.h"
#include "framework/Timer.h"

namespace sw {

enum TCallbackMode : uint8_t { cmWindow, cmCallback, cmThread };

class THiResTimer : public TComponent {
public:
    explicit THiResTimer(TComponent* owner) : TComponent(owner), timer_(nullptr) {}
    void SetCallBackMode(TCallbackMode) {}
    bool Enabled() const { return timer_.Enabled(); }
    void SetEnabled(bool value) { timer_.SetEnabled(value); }
    int32_t Interval() const { return static_cast<int32_t>(timer_.Interval()); }
    void SetInterval(int32_t value) { timer_.SetInterval(static_cast<unsigned>(value)); }
    void SetOnTimer(TNotifyEvent handler) { timer_.OnTimer = std::move(handler); }
    void SetSynchronize(bool) {}
    void SetWaitForTerminate(bool) {}

private:
    TTimer timer_;
};

enum class TRegLocation : uint8_t { CurrentUser = 0, LocalMachine = 1 };

class TAutoRunner : public TComponent {
public:
    using TComponent::TComponent;
    void SetRegLocation(TRegLocation) {}
    bool AutoRun() const { return autoRun_; }
    void SetAutoRun(bool value) { autoRun_ = value; }
    void SetAppName(const std::string&) {}

private:
    bool autoRun_ = false;
};

}  // namespace sw
