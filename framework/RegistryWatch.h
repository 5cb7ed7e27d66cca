// A watch on one registry key: the system signals an event when a value of
// the key is set or deleted, or the key itself goes; a waiting thread of the
// component hands that over as a message to a hidden window of its own, and
// OnChange runs on the main thread when the message is dispatched (so also
// inside modal loops, such as a message box's). Between changes nothing
// runs: the thread sleeps until the system signals.
//
// One message at most is on its way at any time: changes that come before it
// is dispatched are answered by that one OnChange. After a change the thread
// holds back for CoalesceTime (or as long as the last OnChange took, when
// that was longer), so that a flood of changes gives a bounded number of
// OnChange calls; a change made meanwhile is handed over when that time is up.
//
// A missing key (at start or deleted later) is watched for through its
// nearest existing parent: once the key exists again it is watched again and
// OnChange runs. Failures of the registry calls are never reported; the
// watch then waits for Retry.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "Component.h"
#include "Handles.h"

namespace sw {

class TRegistryWatchThread;

class TRegistryWatch : public TComponent {
public:
    explicit TRegistryWatch(TComponent* owner);
    ~TRegistryWatch() override;

    // The key: a hive and a path below it. A change while enabled starts the
    // watch afresh on the new key.
    HKEY RootKey() const { return root_; }
    void SetRootKey(HKEY root);
    const std::string& Key() const { return key_; }
    void SetKey(const std::string& path);
    // Off: no thread, no open key, no event; messages still queued are
    // dropped. Set while loading, it takes effect when loading completes.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // Milliseconds after a change during which further changes are gathered.
    uint32_t CoalesceTime() const { return coalesceTime_; }
    void SetCoalesceTime(uint32_t milliseconds);
    // Also a change in any key below it (made, deleted, a value set).
    bool WatchSubtree() const { return subtree_; }
    void SetWatchSubtree(bool value);

    // Runs on the main thread after the key changed (a value set or
    // deleted, the key deleted or made anew).
    TNotifyEvent OnChange;

    // Whether the key itself is watched now (not while it is missing).
    bool Watching() const;
    // Tries again when the system refused to watch the key and all its
    // parents (nothing otherwise; a missing key needs no retry).
    void Retry();
    // Hands a change over once more, as if the key had signalled one (for a
    // receiver that had to put one off). Nothing while disabled.
    void Repeat();

    // The hidden window that receives the hand-over, and the waiting
    // thread's identifier (0 when none): for diagnostics and tests.
    HWND Handle() const { return window_.Get(); }
    DWORD ThreadID() const;

    void Loaded() override;

protected:
    virtual void Change();

private:
    static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Restart();
    void Stop();
    void Start();

    HKEY root_ = HKEY_CURRENT_USER;
    std::string key_;
    bool enabled_ = false;
    uint32_t coalesceTime_ = 20;
    bool subtree_ = false;
    WindowHandle window_;
    std::unique_ptr<TRegistryWatchThread> thread_;
};

}  // namespace sw
