// Icons: an owned HICON with a change notification, and lists of
// equally-sized images from which icons are copied.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "Component.h"
#include "Handles.h"

namespace sw {

class TIcon : public TObject {
public:
    TIcon() = default;

    HICON Handle() const { return handle_.Get(); }
    bool Empty() const { return !handle_; }
    // Takes ownership of the handle (null empties the icon).
    void SetHandle(HICON icon);
    // Copies another icon's image.
    void Assign(const TIcon& source);
    // Loads an icon resource of the program at the given size.
    bool LoadFromResource(const char* name, int width, int height);

    // Raised after every change of the image.
    TNotifyEvent OnChange;

private:
    void Changed();
    IconHandle handle_;
};

// A list of images of one size (16 x 16 by default).
class TImageList : public TComponent {
public:
    explicit TImageList(TComponent* owner, int width = 16, int height = 16);
    ~TImageList() override;

    int Count() const;
    int Width() const { return width_; }
    int Height() const { return height_; }
    HIMAGELIST Handle() const { return list_; }

    // Adds a bitmap (one or more images side by side); pixels of maskColour
    // become transparent. kNoMask masks no pixel. Returns the first index or -1.
    static constexpr COLORREF kNoMask = 0x1FFFFFFF;
    int AddMasked(HBITMAP bitmap, COLORREF maskColour);
    int AddIcon(HICON icon);
    // Copies an image out as an icon; false for an index out of range.
    bool GetIcon(int index, TIcon& icon) const;
    // Draws an image onto a device context with its own transparency.
    bool Draw(HDC dc, int x, int y, int index) const;

private:
    HIMAGELIST list_;
    int width_;
    int height_;
};

}  // namespace sw
