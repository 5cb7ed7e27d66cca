// Colours, fonts, brushes, pens and the canvas that draws with them on a
// device context. GDI objects are created on demand and owned here.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Component.h"
#include "Handles.h"

namespace sw {

// 0x00BBGGRR is an RGB colour; 0x80000000 plus a COLOR_ index names a system
// colour, resolved when drawn.
using TColor = uint32_t;

inline constexpr TColor clSystemColor = 0x80000000u;
inline constexpr TColor clNone = 0x1FFFFFFFu;
inline constexpr TColor clBlack = 0x000000u;
inline constexpr TColor clWhite = 0xFFFFFFu;
inline constexpr TColor clRed = 0x0000FFu;
inline constexpr TColor clBlue = 0xFF0000u;
inline constexpr TColor clNavy = 0x800000u;
inline constexpr TColor clYellow = 0x00FFFFu;
inline constexpr TColor clOlive = 0x008080u;
inline constexpr TColor clBackground = clSystemColor | COLOR_BACKGROUND;
inline constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
inline constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
inline constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
inline constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
inline constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
inline constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
inline constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;

COLORREF ColorToRGB(TColor color);

// Logical pixels per inch of the screen (LOGPIXELSY of the screen's DC).
int ScreenPixelsPerInch();

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

// A font description; its GDI font is made when first asked for and made
// anew after every change. OnChange runs after each change, while the
// previous GDI font still exists, so a window can switch over safely.
class TFont : public TObject {
public:
    // "MS Sans Serif", 8 points at the screen's resolution, window text colour.
    TFont();
    ~TFont() override;

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    // Pixels; negative is the character height, positive the cell height.
    int Height() const { return height_; }
    void SetHeight(int height);
    int Size() const;  // points
    void SetSize(int points);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    BYTE Charset() const { return charset_; }
    void SetCharset(BYTE charset);

    void Assign(const TFont& source);
    bool SameAs(const TFont& other) const;

    HFONT Handle();

    TNotifyEvent OnChange;

private:
    void Changed();

    std::string name_ = "MS Sans Serif";
    int height_;
    TFontStyles style_ = 0;
    TColor color_ = clWindowText;
    BYTE charset_ = DEFAULT_CHARSET;
    GdiObject handle_;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TObject {
public:
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);
    HBRUSH Handle();
    TNotifyEvent OnChange;

private:
    void Changed();
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    GdiObject handle_;
};

class TPen : public TObject {
public:
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    int Width() const { return width_; }
    void SetWidth(int width);
    HPEN Handle();
    TNotifyEvent OnChange;

private:
    void Changed();
    TColor color_ = clBlack;
    int width_ = 1;
    GdiObject handle_;
};

class TBitmap;

// Draws on a device context with its font, brush and pen. A plain canvas is
// given its context from outside (SetHandle); descendants obtain one on
// demand (CreateHandle) and give it back in FreeHandle.
class TCanvas : public TObject {
public:
    TCanvas();
    ~TCanvas() override;

    HDC Handle();
    bool HandleAllocated() const { return dc_ != nullptr; }
    void SetHandle(HDC dc);

    TFont& Font() { return font_; }
    TBrush& Brush() { return brush_; }
    TPen& Pen() { return pen_; }

    void FillRect(const RECT& rect);
    void FrameRect(const RECT& rect);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void TextOut(int x, int y, const std::string& text);
    SIZE TextExtent(const std::string& text);
    int TextWidth(const std::string& text) { return TextExtent(text).cx; }
    int TextHeight(const std::string& text) { return TextExtent(text).cy; }
    void DrawFocusRect(const RECT& rect);
    // Draws the bitmap; with its Transparent flag, pixels of its transparent
    // colour leave the canvas as it is.
    void Draw(int x, int y, TBitmap& bitmap);
    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor color);

protected:
    virtual void CreateHandle() {}
    // Puts back the objects the canvas selected and forgets the context.
    void DeselectHandles();

private:
    enum : unsigned { kFont = 1, kBrush = 2, kPen = 4 };
    void Require(unsigned what);

    HDC dc_ = nullptr;
    unsigned selected_ = 0;
    HGDIOBJ oldFont_ = nullptr;
    HGDIOBJ oldBrush_ = nullptr;
    HGDIOBJ oldPen_ = nullptr;
    TFont font_;
    TBrush brush_;
    TPen pen_;
};

}  // namespace sw
