#include "TextListBox.h"

#include <algorithm>

#include "ControlRules.h"

namespace sw {

namespace {

// The measuring context goes back to the window when the message is done,
// or inside an update bracket when the bracket closes.
class CanvasScope {
public:
    CanvasScope(TControlCanvas& canvas, bool keep) : canvas_(canvas), keep_(keep) {}
    ~CanvasScope() {
        if (!keep_) canvas_.FreeHandle();
    }
    CanvasScope(const CanvasScope&) = delete;
    CanvasScope& operator=(const CanvasScope&) = delete;

private:
    TControlCanvas& canvas_;
    bool keep_;
};

}  // namespace

TTextListBox::TTextListBox(TComponent* owner) : TCustomListBox(owner), canvas_(*this) {}

TTextListBox::~TTextListBox() { canvas_.FreeHandle(); }

int32_t TTextListBox::ItemTextWidth(int index) { return LineWidth(Items().Get(index)); }

int32_t TTextListBox::LineWidth(const std::string& line) {
    const std::string text = line + "x";
    HDC dc = canvas_.Handle();
    if (!dc) return 0;
    if (TabWidth() <= 0) return canvas_.TextWidth(text);
    const int stop = controls::TabStopPixels(canvas_.TextWidth("0"), TabWidth());
    int stops[1] = {stop};
    const DWORD extent = ::GetTabbedTextExtentA(dc, text.data(), static_cast<int>(text.size()), 1, stops);
    return static_cast<int32_t>(LOWORD(extent));
}

void TTextListBox::ApplyHorizontalExtent() {
    if (HandleAllocated()) ListMessage(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widestItemWidth_), 0);
}

void TTextListBox::Widen(int32_t width) {
    if (width > widestItemWidth_) {
        widestItemWidth_ = width;
        widestCount_ = 1;
    } else if (width == widestItemWidth_) {
        ++widestCount_;
    }
}

void TTextListBox::RecountWidestItem() {
    CanvasScope scope(canvas_, updating_);
    widestItemWidth_ = 0;
    widestCount_ = 0;
    const int count = Items().Count();
    for (int i = 0; i < count; ++i) Widen(ItemTextWidth(i));
    recountPending_ = false;
    extentPending_ = false;
    ApplyHorizontalExtent();
}

void TTextListBox::ScrollToLeftEdge() { ListMessage(WM_HSCROLL, SB_LEFT, 0); }

void TTextListBox::WndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_SETFONT:
            TCustomListBox::WndProc(message);
            canvas_.Font().Assign(Font());
            RecountWidestItem();
            return;
        case LB_ADDSTRING:
        case LB_INSERTSTRING: {
            TCustomListBox::WndProc(message);
            const auto index = static_cast<int>(message.Result);
            // A refused line (LB_ERR, LB_ERRSPACE) leaves the extent as it is;
            // the caller hears of the refusal through the result.
            if (index < 0) return;
            // The line just stored is the one handed in: measured from there,
            // without asking the list for it again.
            CanvasScope scope(canvas_, updating_);
            const auto* line = reinterpret_cast<const char*>(message.LParam);
            Widen(line ? LineWidth(line) : ItemTextWidth(index));
            if (updating_)
                extentPending_ = true;
            else
                ApplyHorizontalExtent();
            return;
        }
        case LB_DELETESTRING: {
            if (recountPending_) {
                // A recount follows at the bracket's end anyway; no need to
                // measure what goes now.
                TCustomListBox::WndProc(message);
                return;
            }
            const auto index = static_cast<int>(message.WParam);
            const int count = Items().Count();
            if (index < 0 || index >= count) {
                TCustomListBox::WndProc(message);
                return;
            }
            int32_t width = 0;
            {
                CanvasScope scope(canvas_, updating_);
                width = ItemTextWidth(index);
            }
            if (width < widestItemWidth_) {
                TCustomListBox::WndProc(message);
                return;
            }
            ScrollToLeftEdge();
            TCustomListBox::WndProc(message);
            if (width == widestItemWidth_ && --widestCount_ > 0) {
                // Another line as wide remains: a recount would find the
                // same widest.
                if (!updating_) ApplyHorizontalExtent();
            } else if (updating_) {
                recountPending_ = true;
            } else {
                RecountWidestItem();
            }
            return;
        }
        case LB_RESETCONTENT:
            widestItemWidth_ = 0;
            widestCount_ = 0;
            recountPending_ = false;
            // Inside a bracket (a whole list put in anew) the list's range
            // is set once, when the bracket closes.
            extentPending_ = updating_;
            if (!updating_) ApplyHorizontalExtent();
            ScrollToLeftEdge();
            TCustomListBox::WndProc(message);
            return;
        default:
            TCustomListBox::WndProc(message);
    }
}

void TTextListBox::ItemsUpdating(bool updating) {
    updating_ = updating;
    if (!updating) {
        if (recountPending_ && HandleAllocated())
            RecountWidestItem();
        else if (extentPending_)
            ApplyHorizontalExtent();
        extentPending_ = false;
        canvas_.FreeHandle();
    }
    TCustomListBox::ItemsUpdating(updating);
}

void TTextListBox::DestroyWnd() {
    canvas_.FreeHandle();
    TCustomListBox::DestroyWnd();
}

}  // namespace sw
