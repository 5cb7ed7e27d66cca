#include "ListBox.h"

#include <algorithm>
#include <utility>

#include "Exceptions.h"
#include "Handles.h"

namespace sw {

namespace {

[[noreturn]] void IndexError(int index) {
    throw EInvalidOperation("Listenindex überschreitet das Maximum (" + std::to_string(index) + ")");
}

}  // namespace

// ============================================================= TListBoxStrings

int TListBoxStrings::Count() const {
    if (!listBox_.HandleAllocated()) return listBox_.saved_.Count();
    return static_cast<int>(listBox_.ListMessage(LB_GETCOUNT, 0, 0));
}

std::string TListBoxStrings::Get(int index) const {
    if (!listBox_.HandleAllocated()) return listBox_.saved_.Get(index);
    const LRESULT length = listBox_.ListMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) IndexError(index);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied =
        listBox_.ListMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
    return text;
}

void TListBoxStrings::Insert(int index, const std::string& text) {
    if (!listBox_.HandleAllocated()) {
        listBox_.saved_.Insert(index, text);
        return;
    }
    if (index < 0 || index > Count()) IndexError(index);
    const LRESULT result =
        listBox_.ListMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str()));
    if (result < 0) throw EOutOfResources("Zeile kann nicht eingefügt werden");
}

int TListBoxStrings::Add(const std::string& text) {
    if (!listBox_.HandleAllocated()) return listBox_.saved_.Add(text);
    const LRESULT result = listBox_.ListMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (result < 0) throw EOutOfResources("Zeile kann nicht eingefügt werden");
    return static_cast<int>(result);
}

void TListBoxStrings::Delete(int index) {
    if (!listBox_.HandleAllocated()) {
        listBox_.saved_.Delete(index);
        return;
    }
    // The list refuses an index outside it and says so; no count is asked
    // first (each message to a list on screen has its price under Wine).
    if (index < 0 || listBox_.ListMessage(LB_DELETESTRING, static_cast<WPARAM>(index), 0) == LB_ERR)
        IndexError(index);
}

void TListBoxStrings::Clear() {
    if (!listBox_.HandleAllocated()) {
        listBox_.saved_.Clear();
        return;
    }
    listBox_.ListMessage(LB_RESETCONTENT, 0, 0);
}

void TListBoxStrings::SetUpdateState(bool updating) { listBox_.ItemsUpdating(updating); }

// ============================================================== TCustomListBox

TCustomListBox::TCustomListBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TListBoxStrings>(*this)) {
    SetBounds(0, 0, 121, 97);
    SetTabStop(true);
    SetColor(clWindow);
}

TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SystemClassName = "LISTBOX";
    // The horizontal scroll bar style is what makes a horizontal extent work.
    params.Style |= WS_HSCROLL | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS;
    if (!integralHeight_) params.Style |= LBS_NOINTEGRALHEIGHT;
    if (sorted_) params.Style |= LBS_SORT;
    if (multiSelect_) params.Style |= extendedSelect_ ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
    if (tabWidth_ != 0) params.Style |= LBS_USETABSTOPS;
    if (Ctl3D())
        params.ExStyle |= WS_EX_CLIENTEDGE;
    else
        params.Style |= WS_BORDER;
}

void TCustomListBox::CreatedWnd() {
    TWinControl::CreatedWnd();
    const HWND window = Handle();
    // The window is of the system class and subclassed by this control
    // alone, so the class's procedure is the one under the subclass.
    listProc_ = reinterpret_cast<WNDPROC>(::GetClassLongPtrA(window, GCLP_WNDPROC));
    if (tabWidth_ != 0) {
        int stop = tabWidth_;
        ::SendMessageA(window, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));
    }
    if (itemHeight_ > 0) ::SendMessageA(window, LB_SETITEMHEIGHT, 0, itemHeight_);
    const std::vector<std::string> lines = saved_.Lines();
    saved_.Clear();
    TStringsUpdate update(*items_);
    for (const auto& line : lines) items_->Add(line);
}

void TCustomListBox::DestroyWnd() {
    saved_.Assign(items_->ToVector());
    listProc_ = nullptr;
    TWinControl::DestroyWnd();
}

LRESULT TCustomListBox::ListMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!listProc_) return ::SendMessageA(Handle(), message, wParam, lParam);
    TMessage m{message, wParam, lParam, 0};
    const TMessage* outer = std::exchange(inProcess_, &m);
    struct Restore {
        const TMessage*& current;
        const TMessage* outer;
        ~Restore() { current = outer; }
    } restore{inProcess_, outer};
    WndProc(m);
    return m.Result;
}

void TCustomListBox::DefaultHandler(TMessage& message) {
    // Only the message that ListMessage runs goes past the subclass chain;
    // one sent meanwhile (a scroll, a notification) takes the usual way.
    if (&message == inProcess_ && listProc_ && HandleAllocated()) {
        message.Result = ::CallWindowProcA(listProc_, Handle(), message.Msg, message.WParam, message.LParam);
        return;
    }
    TWinControl::DefaultHandler(message);
}

void TCustomListBox::ItemsUpdating(bool updating) {
    if (!HandleAllocated()) return;
    ::SendMessageA(Handle(), WM_SETREDRAW, updating ? FALSE : TRUE, 0);
    if (!updating) ::InvalidateRect(Handle(), nullptr, TRUE);
}

void TCustomListBox::WndProc(TMessage& message) {
    if (message.Msg == CN_COMMAND) {
        switch (HIWORD(message.WParam)) {
            case LBN_SELCHANGE:
                Click();
                return;
            case LBN_DBLCLK:
                DblClick();
                return;
            default:
                return;
        }
    }
    TWinControl::WndProc(message);
}

void TCustomListBox::SetSorted(bool value) {
    if (value == sorted_) return;
    sorted_ = value;
    RecreateWnd();
}

void TCustomListBox::SetMultiSelect(bool value) {
    if (value == multiSelect_) return;
    multiSelect_ = value;
    RecreateWnd();
}

void TCustomListBox::SetExtendedSelect(bool value) {
    if (value == extendedSelect_) return;
    extendedSelect_ = value;
    RecreateWnd();
}

void TCustomListBox::SetIntegralHeight(bool value) {
    if (value == integralHeight_) return;
    integralHeight_ = value;
    RecreateWnd();
}

void TCustomListBox::SetItemHeight(int value) {
    if (value <= 0 || value == itemHeight_) return;
    itemHeight_ = value;
    if (HandleAllocated()) {
        ::SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, value);
        Invalidate();
    }
}

void TCustomListBox::ChangeScale(int m, int d) {
    TWinControl::ChangeScale(m, d);
    // After the scaled font: a list box measures its lines anew at
    // WM_SETFONT, and this height is the design's for that font. Rounded,
    // the design's figure may fall a pixel short of the font's line (19 for
    // a line of 20 at 144 dpi); a line is never cut.
    if (itemHeight_ <= 0) return;
    TEXTMETRICA metrics{};
    {
        WindowDC screen(nullptr);
        SelectedObject font(screen.Get(), Font().Handle());
        ::GetTextMetricsA(screen.Get(), &metrics);
    }
    itemHeight_ = std::max<int>(::MulDiv(itemHeight_, m, d), metrics.tmHeight);
    if (HandleAllocated()) {
        ::SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, itemHeight_);
        Invalidate();
    }
}

void TCustomListBox::SetTabWidth(int value) {
    if (value < 0) value = 0;
    if (value == tabWidth_) return;
    tabWidth_ = value;
    RecreateWnd();
}

int TCustomListBox::ItemIndex() {
    if (!HandleAllocated()) return -1;
    return static_cast<int>(::SendMessageA(Handle(), LB_GETCURSEL, 0, 0));
}

void TCustomListBox::SetItemIndex(int index) {
    if (HandleAllocated()) ::SendMessageA(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

}  // namespace sw
