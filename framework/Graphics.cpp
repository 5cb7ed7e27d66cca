#include "Graphics.h"

#include <utility>

#include "Bitmap.h"

namespace sw {

COLORREF ColorToRGB(TColor color) {
    if (color & clSystemColor) return ::GetSysColor(static_cast<int>(color & 0xFF));
    return color & 0xFFFFFF;
}

int ScreenPixelsPerInch() {
    static const int ppi = [] {
        WindowDC screen(nullptr);
        const int value = screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
        return value > 0 ? value : 96;
    }();
    return ppi;
}

// ---- TFont ----

TFont::TFont() : height_(-::MulDiv(8, ScreenPixelsPerInch(), 72)) {}

TFont::~TFont() = default;

void TFont::Changed() {
    // The old GDI font stays alive until every listener has switched to the
    // new one.
    GdiObject retired(handle_.Detach());
    if (OnChange) OnChange(this);
}

void TFont::SetName(const std::string& name) {
    if (name == name_) return;
    name_ = name;
    Changed();
}

void TFont::SetHeight(int height) {
    if (height == height_) return;
    height_ = height;
    Changed();
}

int TFont::Size() const { return -::MulDiv(height_, 72, ScreenPixelsPerInch()); }

void TFont::SetSize(int points) { SetHeight(-::MulDiv(points, ScreenPixelsPerInch(), 72)); }

void TFont::SetStyle(TFontStyles style) {
    if (style == style_) return;
    style_ = style;
    Changed();
}

void TFont::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TFont::SetCharset(BYTE charset) {
    if (charset == charset_) return;
    charset_ = charset;
    Changed();
}

bool TFont::SameAs(const TFont& other) const {
    return name_ == other.name_ && height_ == other.height_ && style_ == other.style_ && color_ == other.color_ &&
           charset_ == other.charset_;
}

void TFont::Assign(const TFont& source) {
    if (&source == this || SameAs(source)) return;
    name_ = source.name_;
    height_ = source.height_;
    style_ = source.style_;
    color_ = source.color_;
    charset_ = source.charset_;
    Changed();
}

HFONT TFont::Handle() {
    if (!handle_) {
        LOGFONTA lf{};
        lf.lfHeight = height_;
        lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (style_ & fsItalic) ? 1 : 0;
        lf.lfUnderline = (style_ & fsUnderline) ? 1 : 0;
        lf.lfStrikeOut = (style_ & fsStrikeOut) ? 1 : 0;
        lf.lfCharSet = charset_;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = DEFAULT_PITCH;
        lstrcpynA(lf.lfFaceName, name_.c_str(), LF_FACESIZE);
        handle_.Attach(::CreateFontIndirectA(&lf));
        if (!handle_) handle_.Attach(::GetStockObject(DEFAULT_GUI_FONT));
    }
    return static_cast<HFONT>(handle_.Get());
}

// ---- TBrush ----

void TBrush::Changed() {
    GdiObject retired(handle_.Detach());
    if (OnChange) OnChange(this);
}

void TBrush::SetColor(TColor color) {
    if (color == color_ && style_ == bsSolid) return;
    color_ = color;
    style_ = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
    if (style == style_) return;
    style_ = style;
    Changed();
}

HBRUSH TBrush::Handle() {
    if (!handle_) {
        if (style_ == bsClear) {
            handle_.Attach(::GetStockObject(NULL_BRUSH));  // deleting a stock object does nothing
        } else {
            handle_.Attach(::CreateSolidBrush(ColorToRGB(color_)));
        }
    }
    return static_cast<HBRUSH>(handle_.Get());
}

// ---- TPen ----

void TPen::Changed() {
    GdiObject retired(handle_.Detach());
    if (OnChange) OnChange(this);
}

void TPen::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TPen::SetWidth(int width) {
    if (width == width_) return;
    width_ = width;
    Changed();
}

HPEN TPen::Handle() {
    if (!handle_) handle_.Attach(::CreatePen(PS_SOLID, width_, ColorToRGB(color_)));
    return static_cast<HPEN>(handle_.Get());
}

// ---- TCanvas ----

TCanvas::TCanvas() {
    // A changed object is selected again before the next drawing; the old one
    // goes out of the context first, while it still exists.
    font_.OnChange = [this](TObject*) {
        if (dc_ && (selected_ & kFont)) ::SelectObject(dc_, oldFont_);
        selected_ &= ~kFont;
    };
    brush_.OnChange = [this](TObject*) {
        if (dc_ && (selected_ & kBrush)) ::SelectObject(dc_, oldBrush_);
        selected_ &= ~kBrush;
    };
    pen_.OnChange = [this](TObject*) {
        if (dc_ && (selected_ & kPen)) ::SelectObject(dc_, oldPen_);
        selected_ &= ~kPen;
    };
}

TCanvas::~TCanvas() { DeselectHandles(); }

HDC TCanvas::Handle() {
    if (!dc_) CreateHandle();
    return dc_;
}

void TCanvas::SetHandle(HDC dc) {
    if (dc == dc_) return;
    DeselectHandles();
    dc_ = dc;
}

void TCanvas::DeselectHandles() {
    if (dc_) {
        if (selected_ & kFont) ::SelectObject(dc_, oldFont_);
        if (selected_ & kBrush) ::SelectObject(dc_, oldBrush_);
        if (selected_ & kPen) ::SelectObject(dc_, oldPen_);
    }
    selected_ = 0;
    dc_ = nullptr;
}

void TCanvas::Require(unsigned what) {
    HDC dc = Handle();
    if (!dc) return;
    if ((what & kFont) && !(selected_ & kFont)) {
        oldFont_ = ::SelectObject(dc, font_.Handle());
        ::SetTextColor(dc, ColorToRGB(font_.Color()));
        selected_ |= kFont;
    }
    if ((what & kBrush) && !(selected_ & kBrush)) {
        oldBrush_ = ::SelectObject(dc, brush_.Handle());
        ::SetBkColor(dc, ColorToRGB(brush_.Color()));
        ::SetBkMode(dc, brush_.Style() == bsClear ? TRANSPARENT : OPAQUE);
        selected_ |= kBrush;
    }
    if ((what & kPen) && !(selected_ & kPen)) {
        oldPen_ = ::SelectObject(dc, pen_.Handle());
        selected_ |= kPen;
    }
}

void TCanvas::FillRect(const RECT& rect) {
    Require(kBrush);
    if (dc_) ::FillRect(dc_, &rect, brush_.Handle());
}

void TCanvas::FrameRect(const RECT& rect) {
    Require(kBrush);
    if (dc_) ::FrameRect(dc_, &rect, brush_.Handle());
}

void TCanvas::MoveTo(int x, int y) {
    Require(kPen);
    if (dc_) ::MoveToEx(dc_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    Require(kPen);
    if (dc_) ::LineTo(dc_, x, y);
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    Require(kFont | kBrush);
    if (dc_) ::TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
}

SIZE TCanvas::TextExtent(const std::string& text) {
    SIZE size{0, 0};
    Require(kFont);
    if (dc_) ::GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

void TCanvas::DrawFocusRect(const RECT& rect) {
    Require(kFont | kBrush);
    if (dc_) {
        // The focus rectangle inverts with the text and background colours.
        ::SetTextColor(dc_, RGB(0, 0, 0));
        ::SetBkColor(dc_, RGB(255, 255, 255));
        ::DrawFocusRect(dc_, &rect);
        ::SetTextColor(dc_, ColorToRGB(font_.Color()));
        ::SetBkColor(dc_, ColorToRGB(brush_.Color()));
    }
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
    HDC dc = Handle();
    if (!dc || bitmap.Empty()) return;
    const RECT source{0, 0, bitmap.Width(), bitmap.Height()};
    if (bitmap.Transparent())
        DrawTransparent(dc, x, y, bitmap, source);
    else
        DrawOpaque(dc, x, y, bitmap, source);
}

TColor TCanvas::Pixel(int x, int y) {
    HDC dc = Handle();
    return dc ? static_cast<TColor>(::GetPixel(dc, x, y)) : clNone;
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    if (HDC dc = Handle()) ::SetPixelV(dc, x, y, ColorToRGB(color));
}

}  // namespace sw
