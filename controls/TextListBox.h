// The log list box: a plain list box that keeps its horizontal scrolling
// extent at the pixel width of its widest line (plus one "x" as margin), so
// that a horizontal scroll bar shows exactly when a line is wider than the
// box. It watches the messages that add, insert, delete and clear lines and
// the one that sets the font, and measures lines with the control's font.
#pragma once

#include <cstdint>

#include "framework/ListBox.h"

namespace sw {

class TTextListBox : public TCustomListBox {
public:
    explicit TTextListBox(TComponent* owner);
    ~TTextListBox() override;

    // Width of the widest line measured since the last full recount or clear.
    int32_t WidestItemWidth() const { return widestItemWidth_; }

    // Pixel width of line index with one "x" appended.
    int32_t ItemTextWidth(int index);
    // LB_SETHORIZONTALEXTENT with WidestItemWidth.
    void ApplyHorizontalExtent();
    // Measures every line and applies the widest.
    void RecountWidestItem();

protected:
    void WndProc(TMessage& message) override;
    void DestroyWnd() override;
    void ItemsUpdating(bool updating) override;

private:
    void ScrollToLeftEdge();
    // The width of a line's text plus one "x", with the list's font and tabs.
    int32_t LineWidth(const std::string& line);

    // Takes a measured line in: the widest and how many lines are that wide.
    void Widen(int32_t width);

    TControlCanvas canvas_;
    int32_t widestItemWidth_ = 0;
    // How many lines are exactly as wide as the widest. While another one
    // remains, deleting one of them leaves the recount's result as it is,
    // so the lines are not measured again: in a log whose lines are all
    // equally wide, each trim would measure the whole log otherwise.
    int widestCount_ = 0;
    bool updating_ = false;
    // Inside an update bracket the recount after deleting the widest line
    // waits for the bracket's end.
    bool recountPending_ = false;
    // Inside an update bracket the scroll range is set once, when the
    // bracket closes: under Wine every change of a shown list box's range
    // costs milliseconds, which made loading a long log take minutes.
    bool extentPending_ = false;
};

}  // namespace sw
