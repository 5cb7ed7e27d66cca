// The list box: a window of the system class LISTBOX whose lines are reached
// through Items, a TStrings whose operations map one-to-one onto list-box
// messages (LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT,
// LB_GETTEXTLEN/LB_GETTEXT, LB_GETCOUNT). While the window does not exist the
// lines wait in a plain list and are added when it is made.
//
// Items sends its messages in-process: each runs through the control's
// WndProc, as a sent one does, and then straight into the list box's own
// procedure. A message sent to a subclassed window passes the system's
// subclass chain twice (in and out), which costs several wineserver round
// trips under Wine: at 10,000 lines that was seconds for loading or reading
// the list.
#pragma once

#include <memory>

#include "Controls.h"
#include "Strings.h"

namespace sw {

class TCustomListBox;

class TListBoxStrings : public TStrings {
public:
    explicit TListBoxStrings(TCustomListBox& listBox) : listBox_(listBox) {}

    int Count() const override;
    std::string Get(int index) const override;
    void Insert(int index, const std::string& text) override;
    int Add(const std::string& text) override;
    void Delete(int index) override;
    void Clear() override;

protected:
    void SetUpdateState(bool updating) override;

private:
    TCustomListBox& listBox_;
};

class TCustomListBox : public TWinControl {
public:
    explicit TCustomListBox(TComponent* owner);
    ~TCustomListBox() override;

    TStrings& Items() { return *items_; }

    bool Sorted() const { return sorted_; }
    void SetSorted(bool value);
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool value);
    bool ExtendedSelect() const { return extendedSelect_; }
    void SetExtendedSelect(bool value);
    bool IntegralHeight() const { return integralHeight_; }
    void SetIntegralHeight(bool value);
    // Pixels; 0 keeps the list box's own item height. Scaled with the form
    // like the bounds.
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int value);
    // Dialog units; 0 means no tab stops. A negative value is stored as 0.
    // A new value makes the window anew.
    int TabWidth() const { return tabWidth_; }
    void SetTabWidth(int value);

    int ItemIndex();
    void SetItemIndex(int index);

protected:
    void CreateParams(TCreateParams& params) override;
    void CreatedWnd() override;
    void DestroyWnd() override;
    void ChangeScale(int m, int d) override;
    void WndProc(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    // The item list's update bracket opens (true) or closes (false).
    virtual void ItemsUpdating(bool updating);
    // Sends a message to the list box in-process: WndProc sees it first,
    // the list box's own procedure handles it. Only with a window.
    LRESULT ListMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    friend class TListBoxStrings;
    std::unique_ptr<TListBoxStrings> items_;
    TStringList saved_;  // the lines while there is no window
    // The list box's own procedure, under the subclass.
    WNDPROC listProc_ = nullptr;
    // The message that ListMessage runs through WndProc at this moment.
    const TMessage* inProcess_ = nullptr;
    bool sorted_ = false;
    bool multiSelect_ = false;
    bool extendedSelect_ = true;
    bool integralHeight_ = false;
    int itemHeight_ = 0;
    int tabWidth_ = 0;
};

class TListBox : public TCustomListBox {
public:
    using TCustomListBox::TCustomListBox;
};

}  // namespace sw
