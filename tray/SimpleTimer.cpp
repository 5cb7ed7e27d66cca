#include "SimpleTimer.h"

#include <unordered_map>

#include "framework/Application.h"
#include "framework/Handles.h"

namespace sw {

namespace {

constexpr char kWindowClass[] = "TSimpleTimerHandler";

// Timer identifiers are numbers handed out here, not addresses: a WM_TIMER
// still queued for a destroyed timer finds no entry and reaches nothing, and
// the numbers fit the window timer's identifier on every build.
struct HandlerState {
    uint32_t userCount = 0;
    WindowHandle window;
    std::unordered_map<UINT_PTR, TSimpleTimer*> live;
    UINT_PTR nextId = 1;

    ~HandlerState() {
        // The module shuts down: a handler that still exists goes now.
        live.clear();
        window.Close();
    }
};

HandlerState& State() {
    static HandlerState state;
    return state;
}

LRESULT CALLBACK TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_TIMER) return ::DefWindowProcA(window, message, wParam, lParam);
    auto& live = State().live;
    const auto found = live.find(static_cast<UINT_PTR>(wParam));
    if (found == live.end()) return 0;
    TSimpleTimer* timer = found->second;
    return GuardedWndProc(timer, [&]() -> LRESULT {
        if (const TNotifyEvent handler = timer->OnElapsed()) handler(timer);
        return 0;
    });
}

HWND CreateTimerWindow() {
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = TimerWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    ::RegisterClassA(&wc);
    return ::CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                             nullptr);
}

UINT_PTR AcquireTimerHandler(TSimpleTimer* timer) {
    auto& state = State();
    if (!state.window) state.window.Attach(CreateTimerWindow());
    ++state.userCount;
    const UINT_PTR id = state.nextId++;
    state.live[id] = timer;
    return id;
}

void ReleaseTimerHandler(UINT_PTR id) {
    auto& state = State();
    state.live.erase(id);
    if (state.userCount > 0) --state.userCount;
    if (state.userCount == 0) state.window.Close();
}

}  // namespace

HWND TSimpleTimerHandler::Window() { return State().window.Get(); }

TSimpleTimer::TSimpleTimer() : TSimpleTimer(1000, nullptr) {}

TSimpleTimer::TSimpleTimer(uint32_t interval, TNotifyEvent onElapsed) : timerId_(0), interval_(interval) {
    SetOnElapsed(std::move(onElapsed));
    timerId_ = AcquireTimerHandler(this);
}

TSimpleTimer::~TSimpleTimer() {
    if (running_) Stop(true);
    ReleaseTimerHandler(timerId_);
}

bool TSimpleTimer::Start() {
    if (interval_ == 0) return false;
    if (running_) Stop(true);
    // Without the shared window SetTimer would make a thread timer of another
    // number, whose ticks no handler sees.
    const HWND window = TSimpleTimerHandler::Window();
    if (!window) return false;
    const bool armed = ::SetTimer(window, timerId_, interval_, nullptr) != 0;
    if (armed) running_ = true;
    return armed;
}

bool TSimpleTimer::Stop(bool clearRunning) {
    if (clearRunning) running_ = false;
    return ::KillTimer(TSimpleTimerHandler::Window(), timerId_) != FALSE;
}

void TSimpleTimer::SetRunning(bool value) {
    if (value)
        Start();
    else
        Stop(true);
}

void TSimpleTimer::SetInterval(uint32_t value) {
    if (value == interval_) return;
    interval_ = value;
    if (!running_) return;
    if (value != 0)
        Start();
    else
        Stop(false);
}

void TSimpleTimer::SetOnElapsed(TNotifyEvent handler) {
    onElapsed_ = std::move(handler);
    if (!onElapsed_ && running_) Stop(false);
}

}  // namespace sw
