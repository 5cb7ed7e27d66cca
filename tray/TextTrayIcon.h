// A tray icon whose image is a short text rendered onto a square: one or
// more lines in a chosen font, on a filled background, with an optional
// frame and an optional background icon underneath. The square has the size
// the notification area shows icons at (16 x 16 at 96 dpi, 32 x 32 at 192);
// the font's height, the offsets and the line distance are given for the
// 16-pixel square and grow with it, as does the one-pixel frame. Every
// change of text, font, colours, frame, offsets or background icon renders
// the square again and hands it to the tray entry.
#pragma once

#include <memory>
#include <string>

#include "framework/Bitmap.h"
#include "framework/Graphics.h"
#include "tray/TrayIcon.h"

namespace sw {

// Pixel offsets of the text and the extra distance between lines. Each
// setter does nothing when the value is unchanged.
class TOffsetOptions : public TObject {
public:
    int OffsetX() const { return offsetX_; }
    void SetOffsetX(int value);
    int OffsetY() const { return offsetY_; }
    void SetOffsetY(int value);
    int LineDistance() const { return lineDistance_; }
    void SetLineDistance(int value);

    TNotifyEvent OnChange;

protected:
    virtual void Changed();

private:
    int offsetX_ = 0;
    int offsetY_ = 0;
    int lineDistance_ = 0;
};

class TTextTrayIcon : public TTrayIcon {
public:
    explicit TTextTrayIcon(TComponent* owner);
    ~TTextTrayIcon() override;

    // Properties, in the order a stored description applies them. Every
    // setter renders anew, also when the value is unchanged.
    TIcon& BackgroundIcon() { return *backgroundIcon_; }
    void SetBackgroundIcon(const TIcon& value);
    const std::string& Text() const { return text_; }
    void SetText(const std::string& value);
    // Each change of a font attribute renders anew.
    TFont& Font() { return *font_; }
    void SetFont(const TFont& value);
    // clNone, or the font's colour, fills with the font colour's inverse.
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    bool Border() const { return border_; }
    void SetBorder(bool value);
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor value);
    // Each actual change of an offset renders anew.
    TOffsetOptions& Options() { return *options_; }
    void SetOptions(const TOffsetOptions& value);

    // The side of the square in pixels: the system's small icon size
    // (SM_CXSMICON) unless set. Setting 0 goes back to the system's; a set
    // size renders anew.
    int IconSize() const;
    void SetIconSize(int pixels);

    // The fill colour of the last rendering, and that rendering.
    TColor KeyColour() const { return keyColour_; }
    const TBitmap& TextBitmap() const { return *textBitmap_; }

    bool UsesDefaultDesignIcon() const override { return false; }
    virtual bool UsesDefaultDesignBackground() const { return false; }
    void Loaded() override;

protected:
    // Draws the square into TextBitmap and chooses KeyColour.
    virtual void RenderText();
    void RebuildIcon();
    // Lays the text's glyphs and frame over the background icon.
    bool ComposeOverBackground(TBitmap& textBitmap, TIcon& icon, TColor colour);

private:
    // The inverse of the font's colour when colour is clNone or the font's
    // own, else colour itself.
    TColor FillColour(TColor colour) const;

    std::unique_ptr<TFont> font_;
    TColor color_ = clBtnFace;
    TColor keyColour_ = clNone;
    bool border_ = false;
    TColor borderColor_ = clBlack;
    std::string text_;
    std::unique_ptr<TBitmap> textBitmap_;
    std::unique_ptr<TOffsetOptions> options_;
    std::unique_ptr<TIcon> backgroundIcon_;
    int iconSize_ = 0;
};

}  // namespace sw
