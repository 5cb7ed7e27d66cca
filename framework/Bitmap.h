// Bitmaps: loaded from the program's resources or drawn on, copied whole,
// and drawn with the colour of their bottom-left pixel as transparent.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "Graphics.h"
#include "Handles.h"

namespace sw {

class TBitmap : public TObject {
public:
    TBitmap();
    ~TBitmap() override;

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return !handle_; }
    HBITMAP Handle() const { return static_cast<HBITMAP>(handle_.Get()); }

    // A new bitmap of that size, compatible with the screen, filled white.
    void SetSize(int width, int height);
    // Loads a bitmap resource by name (names match without regard to case).
    // Raises EResNotFound when the module has no such bitmap.
    void LoadFromResourceName(HINSTANCE instance, const std::string& name);
    // Copies the picture (a new GDI bitmap) and the transparency settings.
    void Assign(const TBitmap& source);
    void Clear();

    // Drawing onto the bitmap.
    TCanvas& Canvas();

    // Glyphs are drawn with their bottom-left pixel's colour left out, unless
    // a fixed transparent colour was set.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value) { transparent_ = value; }
    TColor TransparentColor() const;
    void SetTransparentColor(TColor color);

    // Gives the canvas's device context back, so that the picture can be
    // selected elsewhere (an image list, another context).
    void ReleaseCanvasHandle();
    TColor PixelAt(int x, int y) const;

    TNotifyEvent OnChange;

private:
    class BitmapCanvas;
    void Changed();
    void Take(HBITMAP bitmap);

    GdiObject handle_;
    int width_ = 0;
    int height_ = 0;
    bool transparent_ = false;
    bool fixedTransparentColor_ = false;
    TColor transparentColor_ = clNone;
    std::unique_ptr<BitmapCanvas> canvas_;
};

// Drawing helpers for glyphs. source is a part of the bitmap.
void DrawOpaque(HDC dc, int x, int y, const TBitmap& bitmap, const RECT& source);
void DrawTransparent(HDC dc, int x, int y, const TBitmap& bitmap, const RECT& source);
// The embossed look of a disabled glyph: its opaque pixels in the highlight
// colour one pixel down and right, then in the shadow colour in place.
void DrawDisabled(HDC dc, int x, int y, const TBitmap& bitmap, const RECT& source);

}  // namespace sw
