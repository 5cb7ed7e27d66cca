// Popup menus: items with a caption, a Default flag and a click action, shown
// modally at a screen point.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Component.h"

namespace sw {

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    // Leaves its parent item's list; its sub-items stay with their owner.
    ~TMenuItem() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption) { caption_ = caption; }
    bool IsSeparator() const { return caption_ == "-"; }
    // The item that a double click on the tray icon chooses; shown in bold.
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    bool Visible() const { return visible_; }
    void SetVisible(bool value) { visible_ = value; }
    bool Checked() const { return checked_; }
    void SetChecked(bool value) { checked_ = value; }

    TNotifyEvent OnClick;
    // Runs the item's click action.
    virtual void Click();

    // Sub-items, in menu order (their owner is whoever made them).
    void Add(TMenuItem* item);
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const { return items_[static_cast<size_t>(index)]; }
    TMenuItem* Parent() const { return parent_; }

private:
    std::string caption_;
    bool default_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    bool checked_ = false;
    TMenuItem* parent_ = nullptr;
    std::vector<TMenuItem*> items_;
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner);

    // The top-level items.
    TMenuItem* Items() const { return items_; }
    // Whether the menu opens by itself on a right click of its control.
    bool AutoPopup() const { return autoPopup_; }
    void SetAutoPopup(bool value) { autoPopup_ = value; }
    // The component that opened the menu last.
    TComponent* PopupComponent() const { return popupComponent_; }
    void SetPopupComponent(TComponent* component);

    TNotifyEvent OnPopup;
    // Shows the menu at a screen point and tracks it until it closes; the
    // chosen item's click action runs before Popup returns.
    virtual void Popup(int x, int y);

    // The top-level item marked Default, if any.
    TMenuItem* DefaultItem() const;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    TMenuItem* items_;
    bool autoPopup_ = true;
    TComponent* popupComponent_ = nullptr;
};

}  // namespace sw
