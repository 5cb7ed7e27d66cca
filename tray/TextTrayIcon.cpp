#include "TextTrayIcon.h"

#include "TextLayout.h"

namespace sw {

namespace {

// Runs a change with an object's notification switched off, then puts the
// notification back (also when the change fails).
template <typename Object, typename Change>
void Unnotified(Object& object, Change&& change) {
    TNotifyEvent handler = std::move(object.OnChange);
    object.OnChange = nullptr;
    try {
        change();
    } catch (...) {
        object.OnChange = std::move(handler);
        throw;
    }
    object.OnChange = std::move(handler);
}

}  // namespace

// ================================================================ TOffsetOptions

void TOffsetOptions::SetOffsetX(int value) {
    if (value == offsetX_) return;
    offsetX_ = value;
    Changed();
}

void TOffsetOptions::SetOffsetY(int value) {
    if (value == offsetY_) return;
    offsetY_ = value;
    Changed();
}

void TOffsetOptions::SetLineDistance(int value) {
    if (value == lineDistance_) return;
    lineDistance_ = value;
    Changed();
}

void TOffsetOptions::Changed() {
    if (OnChange) {
        const TNotifyEvent handler = OnChange;
        handler(this);
    }
}

// ================================================================= TTextTrayIcon

TTextTrayIcon::TTextTrayIcon(TComponent* owner)
    : TTrayIcon(owner),
      font_(std::make_unique<TFont>()),
      textBitmap_(std::make_unique<TBitmap>()),
      options_(std::make_unique<TOffsetOptions>()),
      backgroundIcon_(std::make_unique<TIcon>()) {
    // Nothing is rendered yet; the first property applied renders. The
    // default font is 8 points on the 16-pixel square (at 96 dpi), whose
    // figures grow with the square.
    font_->SetHeight(-::MulDiv(8, 96, 72));
    font_->OnChange = [this](TObject*) { RebuildIcon(); };
    color_ = clBtnFace;
    borderColor_ = clBlack;
    options_->OnChange = [this](TObject*) { RebuildIcon(); };
}

TTextTrayIcon::~TTextTrayIcon() {
    font_->OnChange = nullptr;
    options_->OnChange = nullptr;
    font_.reset();
    textBitmap_.reset();
    options_.reset();
    backgroundIcon_.reset();
}

void TTextTrayIcon::SetBackgroundIcon(const TIcon& value) {
    backgroundIcon_->Assign(value);
    RebuildIcon();
}

void TTextTrayIcon::SetText(const std::string& value) {
    text_ = value;
    RebuildIcon();
}

void TTextTrayIcon::SetFont(const TFont& value) {
    Unnotified(*font_, [&] { font_->Assign(value); });
    RebuildIcon();
}

void TTextTrayIcon::SetColor(TColor value) {
    color_ = value;
    RebuildIcon();
}

void TTextTrayIcon::SetBorder(bool value) {
    border_ = value;
    RebuildIcon();
}

void TTextTrayIcon::SetBorderColor(TColor value) {
    borderColor_ = value;
    RebuildIcon();
}

void TTextTrayIcon::SetOptions(const TOffsetOptions& value) {
    Unnotified(*options_, [&] {
        options_->SetOffsetX(value.OffsetX());
        options_->SetOffsetY(value.OffsetY());
        options_->SetLineDistance(value.LineDistance());
    });
    RebuildIcon();
}

void TTextTrayIcon::Loaded() { TTrayIcon::Loaded(); }

int TTextTrayIcon::IconSize() const {
    if (iconSize_ > 0) return iconSize_;
    // The size the notification area shows icons at: 16 at 96 dpi, 20, 24
    // and 32 at 120, 144 and 192. A picture of another size is stretched by
    // the shell and its text blurs.
    const int system = ::GetSystemMetrics(SM_CXSMICON);
    return system > 0 ? system : 16;
}

void TTextTrayIcon::SetIconSize(int pixels) {
    iconSize_ = pixels > 0 ? pixels : 0;
    RebuildIcon();
}

TColor TTextTrayIcon::FillColour(TColor colour) const {
    if (colour == clNone || colour == font_->Color()) return ColorToRGB(font_->Color()) ^ 0xFFFFFF;
    return colour;
}

void TTextTrayIcon::RebuildIcon() {
    SetCycleIcons(false);  // a text icon never cycles
    RenderText();
    TIcon fresh;
    bool made;
    if (backgroundIcon_->Empty()) {
        // With a real background colour the square is fully opaque; with
        // clNone the fill (the font colour's inverse) becomes transparent.
        if (color_ != clNone) keyColour_ = clNone;
        made = MaskedBitmapToIcon(*textBitmap_, fresh, keyColour_);
    } else {
        made = ComposeOverBackground(*textBitmap_, fresh, color_);
    }
    if (made) Icon().Assign(fresh);  // the icon's change handler refreshes the entry
}

void TTextTrayIcon::RenderText() {
    const int side = IconSize();
    const RECT whole{0, 0, side, side};
    TBitmap square;
    square.SetSize(side, side);
    TCanvas& canvas = square.Canvas();

    // A system colour stays symbolic here and is resolved when painting.
    keyColour_ = FillColour(color_);
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(keyColour_);
    canvas.FillRect(whole);

    // Text goes out opaque in the fill colour, so the character cells look
    // like the fill. The font and the offsets are given for the 16-pixel
    // square and grow with it.
    canvas.Font().Assign(*font_);
    canvas.Font().SetHeight(ScaledToSide(font_->Height(), side));
    const int offsetX = ScaledToSide(options_->OffsetX(), side);
    const int offsetY = ScaledToSide(options_->OffsetY(), side);
    const auto firstBreak = text_.find('\r');
    if (firstBreak == std::string::npos) {
        const SIZE extent = canvas.TextExtent(text_);
        canvas.TextOut(CentredStart(extent.cx, side) + offsetX, CentredStart(extent.cy, side) + offsetY, text_);
    } else {
        const std::vector<std::string> lines = SplitLines(text_);
        // The height of the text from the first carriage return on is the
        // font's line height.
        const int lineHeight =
            canvas.TextHeight(text_.substr(firstBreak)) + ScaledToSide(options_->LineDistance(), side);
        const int count = static_cast<int>(lines.size());
        const int top = CentredStart(count * lineHeight, side) + offsetY;
        for (int i = 0; i < count; ++i) {
            const std::string& line = lines[static_cast<size_t>(i)];
            canvas.TextOut(CentredStart(canvas.TextWidth(line), side) + offsetX, top + i * lineHeight, line);
        }
    }

    if (border_) {
        // Drawn last: it covers glyph pixels on the edge.
        canvas.Brush().SetColor(borderColor_);
        for (int ring = 0; ring < FrameWidth(side); ++ring)
            canvas.FrameRect(RECT{ring, ring, side - ring, side - ring});
    }
    textBitmap_->Assign(square);
}

bool TTextTrayIcon::ComposeOverBackground(TBitmap& textBitmap, TIcon& icon, TColor colour) {
    const int side = textBitmap.Width();
    // The list draws the background icon at the square's size.
    TImageList list(nullptr, side, side);
    if (list.AddIcon(backgroundIcon_->Handle()) != 0) return false;

    const TColor mask = FillColour(colour);
    TBitmap composed;
    composed.SetSize(side, side);
    TCanvas& canvas = composed.Canvas();
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(mask);
    canvas.FillRect(RECT{0, 0, side, side});
    // The background's transparent parts show the mask colour.
    list.Draw(canvas.Handle(), 0, 0, 0);
    // Only the glyphs and the frame go over it.
    textBitmap.SetTransparent(true);
    textBitmap.SetTransparentColor(keyColour_);
    canvas.Draw(0, 0, textBitmap);

    composed.ReleaseCanvasHandle();
    const int index = list.AddMasked(composed.Handle(), ColorToRGB(mask));
    return index == 1 && list.GetIcon(index, icon) && !icon.Empty();
}

}  // namespace sw
