// The edit control: a window of the system class EDIT. OnChange runs after
// every change of its text, typed, pasted, cut or written by the program,
// and never for a write of the same text.
#pragma once

#include <string>

#include "Controls.h"

namespace sw {

class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* owner);

    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool value) { autoSelect_ = value; }
    // Height follows the font: set when the window is made and whenever the
    // font changes.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);

    // The text in UTF-16, as the control holds it: a character that the
    // ANSI code page lacks is neither lost nor replaced. Setting a different
    // text runs OnChange as SetText does.
    std::u16string WideText();
    void SetWideText(const std::u16string& text);

    void SelectAll();
    int SelStart();
    int SelLength();
    void SetSelection(int start, int length);

    TNotifyEvent OnChange;

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreatedWnd() override;
    void ApplyText(const std::string& text) override;
    void TextChanged() override;
    void FontChanged() override;
    void DoEnter() override;
    virtual void Change();
    void AdjustHeight();

private:
    bool autoSelect_ = true;
    bool autoSize_ = true;
    int maxLength_ = 0;
    bool readOnly_ = false;
    bool settingText_ = false;
};

// A plain edit holds any text: its window is a wide one.
class TEdit : public TCustomEdit {
public:
    using TCustomEdit::TCustomEdit;

protected:
    void CreateParams(TCreateParams& params) override;
};

// An edit of several lines: Enter starts a new line, long lines scroll
// sideways, a scroll bar comes when the lines don't fit. Its height is set,
// not taken from the font.
class TMemo : public TEdit {
public:
    explicit TMemo(TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) override;
};

}  // namespace sw
