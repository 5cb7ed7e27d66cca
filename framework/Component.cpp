#include "Component.h"

#include <algorithm>

namespace sw {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->InsertComponent(this);
}

TComponent::~TComponent() {
    state_ |= csDestroying;
    // Tell everyone who asked that this component goes away.
    for (auto* other : std::vector<TComponent*>(freeNotifies_)) {
        other->Notification(this, TOperation::opRemove);
        auto& back = other->freeNotifies_;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
    }
    freeNotifies_.clear();
    // Owned components go in reverse order of creation.
    while (!components_.empty()) {
        TComponent* last = components_.back();
        delete last;  // its destructor removes it from this list
    }
    if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    for (auto* c : components_)
        if (c->name_ == name) return c;
    return nullptr;
}

void TComponent::SetDesigning(bool value) {
    if (InState(csDesigning) != value) UpdateDesigning(value);
}

void TComponent::UpdateDesigning(bool value) {
    if (value)
        state_ |= csDesigning;
    else
        state_ &= ~csDesigning;
    for (auto* c : components_) c->UpdateDesigning(value);
}

void TComponent::Loaded() { state_ &= ~csLoading; }

void TComponent::FreeNotification(TComponent* other) {
    if (!other || other == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end())
        freeNotifies_.push_back(other);
    if (std::find(other->freeNotifies_.begin(), other->freeNotifies_.end(), this) == other->freeNotifies_.end())
        other->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (!other) return;
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), other), freeNotifies_.end());
    auto& back = other->freeNotifies_;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::InsertComponent(TComponent* component) {
    components_.push_back(component);
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    components_.erase(std::remove(components_.begin(), components_.end(), component), components_.end());
    if (!InState(csDestroying)) Notification(component, TOperation::opRemove);
}

TLoadingScope::~TLoadingScope() {
    if (finished_) return;
    try {
        Finish();
    } catch (...) {
        // Only reached while an earlier error unwinds the description; that
        // error is the one to report.
    }
}

void TLoadingScope::Finish() {
    finished_ = true;
    for (auto* c : loading_) c->EndReading();
    for (auto* c : loading_) c->Loaded();
    loading_.clear();
}

}  // namespace sw
