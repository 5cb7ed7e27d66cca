#include "Bitmap.h"

#include "Exceptions.h"
#include "StrUtils.h"

namespace sw {

class TBitmap::BitmapCanvas : public TCanvas {
public:
    explicit BitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
    ~BitmapCanvas() override { FreeHandle(); }

    void FreeHandle() {
        if (!dc_) return;
        DeselectHandles();
        ::SelectObject(dc_.Get(), old_);
        dc_.Close();
    }

protected:
    void CreateHandle() override {
        if (bitmap_.Empty()) return;
        dc_.Attach(::CreateCompatibleDC(nullptr));
        old_ = ::SelectObject(dc_.Get(), bitmap_.Handle());
        SetHandle(dc_.Get());
    }

private:
    TBitmap& bitmap_;
    MemoryDC dc_;
    HGDIOBJ old_ = nullptr;
};

namespace {

// A memory context with a bitmap selected for the life of the scope.
class BitmapDC {
public:
    explicit BitmapDC(HBITMAP bitmap) : dc_(::CreateCompatibleDC(nullptr)), old_(::SelectObject(dc_.Get(), bitmap)) {}
    ~BitmapDC() { ::SelectObject(dc_.Get(), old_); }
    BitmapDC(const BitmapDC&) = delete;
    BitmapDC& operator=(const BitmapDC&) = delete;
    HDC Get() const { return dc_.Get(); }

private:
    MemoryDC dc_;
    HGDIOBJ old_;
};

// A monochrome mask of the source part: 1 where the transparent colour is,
// 0 where the glyph is.
GdiObject MakeMask(const TBitmap& bitmap, const RECT& source) {
    const int w = source.right - source.left;
    const int h = source.bottom - source.top;
    // Read before the bitmap is selected below: a bitmap is selected into
    // one context at a time.
    const COLORREF transparent = ColorToRGB(bitmap.TransparentColor());
    GdiObject mask(::CreateBitmap(w, h, 1, 1, nullptr));
    BitmapDC from(bitmap.Handle());
    BitmapDC to(static_cast<HBITMAP>(mask.Get()));
    ::SetBkColor(from.Get(), transparent);
    ::BitBlt(to.Get(), 0, 0, w, h, from.Get(), source.left, source.top, SRCCOPY);
    return mask;
}

// Paints the brush where the mask is 0 and leaves the rest: ((D ^ P) & S) ^ P.
constexpr DWORD kRopBrushThroughMask = 0x00B8074A;

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() = default;

void TBitmap::Changed() {
    if (OnChange) OnChange(this);
}

void TBitmap::Take(HBITMAP bitmap) {
    if (canvas_) canvas_->FreeHandle();
    handle_.Attach(bitmap);
    BITMAP info{};
    if (bitmap && ::GetObjectA(bitmap, sizeof info, &info)) {
        width_ = info.bmWidth;
        height_ = info.bmHeight;
    } else {
        width_ = height_ = 0;
    }
}

void TBitmap::SetSize(int width, int height) {
    HBITMAP bitmap = nullptr;
    if (width > 0 && height > 0) {
        WindowDC screen(nullptr);
        bitmap = ::CreateCompatibleBitmap(screen.Get(), width, height);
        if (!bitmap) throw EOutOfResources("Bitmap kann nicht erzeugt werden");
        BitmapDC dc(bitmap);
        const RECT all{0, 0, width, height};
        ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    }
    Take(bitmap);
    Changed();
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const std::string& name) {
    // Loaded as a bitmap compatible with the screen, so drawing needs no
    // palette handling.
    auto* bitmap = static_cast<HBITMAP>(::LoadImageA(instance, name.c_str(), IMAGE_BITMAP, 0, 0, 0));
    if (!bitmap) throw EResNotFound(FormatText("Ressource %s nicht gefunden", name));
    Take(bitmap);
    Changed();
}

void TBitmap::Assign(const TBitmap& source) {
    if (&source == this) return;
    transparent_ = source.transparent_;
    fixedTransparentColor_ = source.fixedTransparentColor_;
    transparentColor_ = source.transparentColor_;
    if (source.Empty()) {
        Take(nullptr);
        Changed();
        return;
    }
    WindowDC screen(nullptr);
    HBITMAP copy = ::CreateCompatibleBitmap(screen.Get(), source.width_, source.height_);
    if (!copy) throw EOutOfResources("Bitmap kann nicht erzeugt werden");
    {
        BitmapDC to(copy);
        // A source drawn on through its canvas is still selected there, and a
        // bitmap can be selected into one context only.
        if (source.canvas_ && source.canvas_->HandleAllocated()) {
            ::BitBlt(to.Get(), 0, 0, source.width_, source.height_, source.canvas_->Handle(), 0, 0, SRCCOPY);
        } else {
            BitmapDC from(source.Handle());
            ::BitBlt(to.Get(), 0, 0, source.width_, source.height_, from.Get(), 0, 0, SRCCOPY);
        }
    }
    Take(copy);
    Changed();
}

void TBitmap::Clear() {
    Take(nullptr);
    Changed();
}

TCanvas& TBitmap::Canvas() {
    if (!canvas_) canvas_ = std::make_unique<BitmapCanvas>(*this);
    return *canvas_;
}

TColor TBitmap::PixelAt(int x, int y) const {
    if (Empty()) return clNone;
    if (canvas_ && canvas_->HandleAllocated()) return static_cast<TColor>(::GetPixel(canvas_->Handle(), x, y));
    BitmapDC dc(Handle());
    return static_cast<TColor>(::GetPixel(dc.Get(), x, y));
}

TColor TBitmap::TransparentColor() const {
    return fixedTransparentColor_ ? transparentColor_ : PixelAt(0, height_ - 1);
}

void TBitmap::SetTransparentColor(TColor color) {
    fixedTransparentColor_ = true;
    transparentColor_ = color;
}

void TBitmap::ReleaseCanvasHandle() {
    if (canvas_) canvas_->FreeHandle();
}

void DrawOpaque(HDC dc, int x, int y, const TBitmap& bitmap, const RECT& source) {
    BitmapDC from(bitmap.Handle());
    ::BitBlt(dc, x, y, source.right - source.left, source.bottom - source.top, from.Get(), source.left, source.top,
             SRCCOPY);
}

void DrawTransparent(HDC dc, int x, int y, const TBitmap& bitmap, const RECT& source) {
    const int w = source.right - source.left;
    const int h = source.bottom - source.top;
    GdiObject mask = MakeMask(bitmap, source);
    BitmapDC from(bitmap.Handle());
    BitmapDC maskDC(static_cast<HBITMAP>(mask.Get()));
    const COLORREF oldText = ::SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF oldBack = ::SetBkColor(dc, RGB(255, 255, 255));
    // dest ^ src, cleared where the glyph is, ^ src again: the glyph where
    // the mask is 0, the old pixels where it is 1.
    ::BitBlt(dc, x, y, w, h, from.Get(), source.left, source.top, SRCINVERT);
    ::BitBlt(dc, x, y, w, h, maskDC.Get(), 0, 0, SRCAND);
    ::BitBlt(dc, x, y, w, h, from.Get(), source.left, source.top, SRCINVERT);
    ::SetTextColor(dc, oldText);
    ::SetBkColor(dc, oldBack);
}

void DrawDisabled(HDC dc, int x, int y, const TBitmap& bitmap, const RECT& source) {
    const int w = source.right - source.left;
    const int h = source.bottom - source.top;
    GdiObject mask = MakeMask(bitmap, source);
    BitmapDC maskDC(static_cast<HBITMAP>(mask.Get()));
    const COLORREF oldText = ::SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF oldBack = ::SetBkColor(dc, RGB(255, 255, 255));
    GdiObject highlight(::CreateSolidBrush(::GetSysColor(COLOR_BTNHIGHLIGHT)));
    GdiObject shadow(::CreateSolidBrush(::GetSysColor(COLOR_BTNSHADOW)));
    HGDIOBJ old = ::SelectObject(dc, highlight.Get());
    ::BitBlt(dc, x + 1, y + 1, w, h, maskDC.Get(), 0, 0, kRopBrushThroughMask);
    ::SelectObject(dc, shadow.Get());
    ::BitBlt(dc, x, y, w, h, maskDC.Get(), 0, 0, kRopBrushThroughMask);
    ::SelectObject(dc, old);
    ::SetTextColor(dc, oldText);
    ::SetBkColor(dc, oldBack);
}

}  // namespace sw
