#include "RegistryWatch.h"

#include <algorithm>
#include <chrono>

#include "Application.h"
#include "Exceptions.h"
#include "MessageWindow.h"
#include "Thread.h"

namespace sw {

namespace {

constexpr char kWindowClass[] = "TRegistryWatchWindow";
// The waiting thread's hand-over to the main thread.
constexpr UINT WM_REGISTRYCHANGED = WM_APP + 1;
// A value set or deleted, a subkey made or deleted.
constexpr DWORD kOwnFilter = REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_NAME;
// A long OnChange (a message box inside it) holds the next hand-over back
// by at most this many CoalesceTimes.
constexpr uint32_t kMaxHoldBackFactor = 10;
constexpr int64_t kStaleHandOverMs = 1000;
constexpr DWORD kMissingKeyLookMs = 500;

KernelHandle NewEvent(bool manualReset) {
    KernelHandle event(::CreateEventA(nullptr, manualReset, FALSE, nullptr));
    if (!event) throw EOutOfResources("Ereignis kann nicht erzeugt werden");
    return event;
}

// The path of the key's parent; empty for a key directly below the hive.
std::string ParentPath(const std::string& path) {
    const size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

// Waits for the system's signal, arms the watch again and hands the change
// over. It owns the open key: a notification belongs to the thread that
// asked for it and ends with that thread.
class TRegistryWatchThread : public TThread {
public:
    TRegistryWatchThread(HKEY root, std::string path, HWND window, uint32_t coalesceTime, bool subtree)
        : root_(root),
          path_(std::move(path)),
          window_(window),
          coalesceTime_(coalesceTime),
          subtree_(subtree),
          stop_(NewEvent(true)),
          retry_(NewEvent(false)),
          changed_(NewEvent(false)),
          parentChanged_(NewEvent(false)) {}
    ~TRegistryWatchThread() override {
        ::SetEvent(stop_.Get());
        EndThread();
        // EndThread returns once the body has returned; the thread itself,
        // with what the system keeps for it, is gone only when it has ended.
        ::WaitForSingleObject(Handle(), INFINITE);
    }

    std::atomic<bool> pending{false};
    std::atomic<bool> watching{false};
    // False when not even a parent of the key could be watched.
    std::atomic<bool> armed{false};
    std::atomic<uint32_t> lastHandlerMs{0};

    void Retry() {
        if (!armed) ::SetEvent(retry_.Get());
    }
    // Posts the hand-over unless one is already on its way. One that has
    // waited a second is posted again: a foreign loop that took it from the
    // queue without dispatching it must not silence the watch for good (a
    // second OnChange only finds nothing new).
    void Report() {
        const int64_t now = NowMs();
        if (pending.exchange(true) && now - postedAt_ < kStaleHandOverMs) return;
        postedAt_ = now;
        if (!::PostMessageA(window_, WM_REGISTRYCHANGED, 0, 0)) pending = false;
    }

protected:
    void Execute() override {
        Arm();
        for (;;) {
            const HANDLE waits[] = {stop_.Get(), retry_.Get(), changed_.Get(), parentChanged_.Get()};
            // While the key is missing it is also looked for twice a second,
            // as the guard's cycle does: a notification of its parent can be
            // lost. A key that exists is waited for without a time-out.
            const DWORD woken = ::WaitForMultipleObjects(armed ? 4 : 2, waits, FALSE,
                                                         armed && !watching ? kMissingKeyLookMs : INFINITE);
            if (woken == WAIT_OBJECT_0 || (woken >= WAIT_OBJECT_0 + 4 && woken != WAIT_TIMEOUT)) return;
            const bool was = watching;
            if (woken == WAIT_OBJECT_0 + 1 && armed) continue;
            // Armed again before the hand-over: a change made while OnChange
            // runs signals anew.
            Arm();
            // A parent changed while the key is still missing: nothing of ours.
            if (!was && !watching) continue;
            Report();
            const uint32_t holdBack =
                std::clamp(lastHandlerMs.load(), coalesceTime_, coalesceTime_ * kMaxHoldBackFactor);
            if (::WaitForSingleObject(stop_.Get(), holdBack) != WAIT_TIMEOUT) return;
        }
    }

private:
    // Finds the nearest existing key on the path (the key itself, or the
    // parent through which a missing key is watched for) and asks it and
    // its parent for their next change. Its parent is watched too: not every
    // system signals the watch of a key that is deleted, but each signals
    // its parent's. Handles that still serve the same key are kept: under
    // Wine a key handle opened in place of a closed one may stay silent.
    void Arm() {
        // A level made between the search and the notification request
        // would never signal: once armed on a parent, the level below it is
        // looked for again. Nor may a key deleted meanwhile go unnoticed
        // (asking its parent again can reset the event that told of it):
        // once armed on the key, it is looked for again.
        for (int round = 0; round < 16; ++round) {
            ArmNearest();
            if (!armed) return;
            if (watching ? Exists(path_) : !ExistsBelow(armedPath_)) return;
        }
    }
    bool Exists(const std::string& path) const {
        RegKey key;
        return Open(path, key);
    }
    // Whether the next key on the way from `parent` to the watched key exists.
    bool ExistsBelow(const std::string& parent) const {
        std::string child = path_;
        while (!child.empty() && ParentPath(child) != parent) child = ParentPath(child);
        return !child.empty() && child != parent && Exists(child);
    }
    void ArmNearest() {
        for (std::string path = path_;; path = ParentPath(path)) {
            RegKey key;
            if (Open(path, key)) {
                const bool own = path == path_;
                const DWORD filter = own ? kOwnFilter : REG_NOTIFY_CHANGE_NAME;
                const bool subtree = own && subtree_;
                if (armed && path == armedPath_ && Notify(key_, filter, changed_, subtree)) {
                    // The same key as before, and not deleted meanwhile.
                    if (parent_) Notify(parent_, REG_NOTIFY_CHANGE_NAME, parentChanged_);
                    watching = own;
                    return;
                }
                key_.Close();
                parent_.Close();
                // Closing a key whose notification was still pending signals it.
                ::ResetEvent(changed_.Get());
                ::ResetEvent(parentChanged_.Get());
                if (!Notify(key, filter, changed_, subtree)) break;
                key_ = std::move(key);
                armedPath_ = path;
                watching = own;
                armed = true;
                RegKey parent;
                if (!path.empty() && Open(ParentPath(path), parent) &&
                    Notify(parent, REG_NOTIFY_CHANGE_NAME, parentChanged_))
                    parent_ = std::move(parent);
                return;
            }
            if (path.empty()) break;
        }
        key_.Close();
        parent_.Close();
        watching = false;
        armed = false;
    }
    bool Open(const std::string& path, RegKey& key) const {
        return ::RegOpenKeyExA(root_, path.c_str(), 0, KEY_NOTIFY, key.Receive()) == ERROR_SUCCESS;
    }
    // Each key signals an event of its own: under Wine two notifications
    // that share one event lose changes.
    static bool Notify(const RegKey& key, DWORD filter, const KernelHandle& event, bool subtree = false) {
        return ::RegNotifyChangeKeyValue(key.Get(), subtree, filter, event.Get(), TRUE) == ERROR_SUCCESS;
    }

    static int64_t NowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::atomic<int64_t> postedAt_{0};
    const HKEY root_;
    const std::string path_;
    const HWND window_;
    const uint32_t coalesceTime_;
    const bool subtree_;
    KernelHandle stop_;
    KernelHandle retry_;
    KernelHandle changed_;
    KernelHandle parentChanged_;
    RegKey key_;
    RegKey parent_;
    std::string armedPath_;
};

TRegistryWatch::TRegistryWatch(TComponent* owner)
    : TComponent(owner), window_(NewMessageWindow(kWindowClass, StaticWndProc, this)) {}

TRegistryWatch::~TRegistryWatch() {
    Stop();
    ::SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
}

void TRegistryWatch::SetRootKey(HKEY root) {
    if (root == root_) return;
    root_ = root;
    Restart();
}

void TRegistryWatch::SetKey(const std::string& path) {
    if (path == key_) return;
    key_ = path;
    Restart();
}

void TRegistryWatch::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    Restart();
}

void TRegistryWatch::SetCoalesceTime(uint32_t milliseconds) {
    if (milliseconds == coalesceTime_) return;
    coalesceTime_ = milliseconds;
    Restart();
}

void TRegistryWatch::SetWatchSubtree(bool value) {
    if (value == subtree_) return;
    subtree_ = value;
    Restart();
}

void TRegistryWatch::Loaded() {
    TComponent::Loaded();
    Restart();
}

bool TRegistryWatch::Watching() const { return thread_ && thread_->watching; }

DWORD TRegistryWatch::ThreadID() const { return thread_ ? thread_->ThreadID() : 0; }

void TRegistryWatch::Retry() {
    if (thread_) thread_->Retry();
}

void TRegistryWatch::Repeat() {
    if (thread_) thread_->Report();
}

void TRegistryWatch::Restart() {
    Stop();
    if (enabled_ && !InState(csLoading)) Start();
}

void TRegistryWatch::Stop() {
    thread_.reset();
    // A hand-over of the ended run reaches nobody.
    MSG dropped;
    while (::PeekMessageA(&dropped, window_.Get(), WM_REGISTRYCHANGED, WM_REGISTRYCHANGED, PM_REMOVE)) {
    }
}

void TRegistryWatch::Start() {
    thread_ = std::make_unique<TRegistryWatchThread>(root_, key_, window_.Get(), coalesceTime_, subtree_);
    thread_->Resume();
}

void TRegistryWatch::Change() {
    if (OnChange) OnChange(this);
}

LRESULT CALLBACK TRegistryWatch::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TRegistryWatch*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message != WM_REGISTRYCHANGED || !self) return ::DefWindowProcA(window, message, wParam, lParam);
    if (!self->thread_) return 0;
    return GuardedWndProc(self, [&]() -> LRESULT {
        TRegistryWatchThread* thread = self->thread_.get();
        // From here on a change is handed over anew.
        thread->pending = false;
        const auto start = std::chrono::steady_clock::now();
        self->Change();
        // OnChange may have switched the watch off or on again.
        if (self->thread_.get() == thread) {
            const auto took = std::chrono::steady_clock::now() - start;
            thread->lastHandlerMs =
                static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count());
        }
        return 0;
    });
}

}  // namespace sw
