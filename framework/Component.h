// The component model: every non-window part and every control of a form is a
// component owned by the form and destroyed with it. A stored description
// applies each property through its setter while the component is marked
// loading, then tells every component that loading is complete.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sw {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

enum TComponentStateFlag : uint32_t {
    csLoading = 1u << 0,
    csReading = 1u << 1,
    csDesigning = 1u << 2,
    csDestroying = 1u << 3,
};

enum class TOperation { opInsert, opRemove };

// Components are created with new; the owner deletes the components it owns
// (in reverse order of creation) when it is destroyed itself.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }

    uint32_t ComponentState() const { return state_; }
    bool InState(uint32_t flags) const { return (state_ & flags) != 0; }

    // Owned components in creation order.
    const std::vector<TComponent*>& Components() const { return components_; }
    TComponent* FindComponent(const std::string& name) const;

    // Switches the designing flag when it differs from the current one.
    void SetDesigning(bool value);

    // Loading protocol used by stored descriptions.
    void BeginLoading() { state_ |= csLoading | csReading; }
    void EndReading() { state_ &= ~csReading; }
    // Called once all stored properties are applied; clears the loading flag.
    virtual void Loaded();

    // Asks to be told when the other component goes away.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

protected:
    // Switches the designing flag of this component and its owned ones.
    virtual void UpdateDesigning(bool value);
    // A component this one knows of is inserted or removed.
    virtual void Notification(TComponent* component, TOperation operation);

private:
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    TComponent* owner_;
    std::string name_;
    uint32_t state_ = 0;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
};

// Applies a stored description: marks the components loading, lets the
// caller apply their properties, then completes the loading of each in order.
class TLoadingScope {
public:
    TLoadingScope() = default;
    TLoadingScope(const TLoadingScope&) = delete;
    TLoadingScope& operator=(const TLoadingScope&) = delete;
    ~TLoadingScope();

    template <typename T>
    T* Add(T* component) {
        component->BeginLoading();
        loading_.push_back(component);
        return component;
    }
    // Completes the loading; called by the destructor when not called before.
    void Finish();

private:
    std::vector<TComponent*> loading_;
    bool finished_ = false;
};

}  // namespace sw
