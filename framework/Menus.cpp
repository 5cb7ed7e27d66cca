#include "Menus.h"

#include <algorithm>
#include <map>

#include "Application.h"
#include "Handles.h"

namespace sw {

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
    if (parent_) {
        auto& siblings = parent_->items_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    for (auto* item : items_) item->parent_ = nullptr;
}

void TMenuItem::SetDefault(bool value) {
    if (value && parent_)
        for (auto* sibling : parent_->items_) sibling->default_ = false;  // at most one per menu
    default_ = value;
}

void TMenuItem::Click() {
    if (enabled_ && OnClick) OnClick(this);
}

void TMenuItem::Add(TMenuItem* item) {
    item->parent_ = this;
    items_.push_back(item);
    if (item->default_) item->SetDefault(true);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(this)) {}

void TPopupMenu::SetPopupComponent(TComponent* component) {
    if (popupComponent_ && popupComponent_ != component) RemoveFreeNotification(popupComponent_);
    popupComponent_ = component;
    if (component) FreeNotification(component);
}

TMenuItem* TPopupMenu::DefaultItem() const {
    for (int i = 0; i < items_->Count(); ++i)
        if (items_->Items(i)->Default()) return items_->Items(i);
    return nullptr;
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == popupComponent_) popupComponent_ = nullptr;
}

namespace {

// Builds the Windows menu for the items; commands number the items.
void BuildMenu(HMENU menu, TMenuItem* parent, std::map<UINT, TMenuItem*>& commands) {
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* item = parent->Items(i);
        if (!item->Visible()) continue;
        if (item->IsSeparator()) {
            ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING | (item->Enabled() ? MF_ENABLED : MF_GRAYED) | (item->Checked() ? MF_CHECKED : 0);
        if (item->Count() > 0) {
            HMENU sub = ::CreatePopupMenu();
            BuildMenu(sub, item, commands);
            ::AppendMenuA(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item->Caption().c_str());
        } else {
            const UINT command = static_cast<UINT>(commands.size() + 1);
            commands[command] = item;
            ::AppendMenuA(menu, flags, command, item->Caption().c_str());
            if (item->Default()) ::SetMenuDefaultItem(menu, command, FALSE);
        }
    }
}

}  // namespace

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    MenuHandle menu(::CreatePopupMenu());
    std::map<UINT, TMenuItem*> commands;
    BuildMenu(menu.Get(), items_, commands);
    const HWND owner = Application ? Application->Handle() : nullptr;
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(menu.Get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, x, y, 0, owner, nullptr));
    menu.Close();
    if (const auto found = commands.find(chosen); found != commands.end()) found->second->Click();
}

}  // namespace sw
