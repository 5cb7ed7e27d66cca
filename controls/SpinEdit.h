// The spin edit: an edit field for a signed 32-bit integer with an arrow
// pair inside its right edge. The value is kept within MinValue..MaxValue
// when it is written and when the field loses the focus; equal bounds mean
// no range at all.
#pragma once

#include <cstdint>

#include "SpinButton.h"
#include "framework/Edit.h"

namespace sw {

class TSpinEdit : public TCustomEdit {
public:
    explicit TSpinEdit(TComponent* owner);
    ~TSpinEdit() override;

    TSpinButton* Arrows() const { return arrows_; }

    // The text converted to an integer, or MinValue when it converts not.
    // Reading never clamps.
    int32_t Value();
    // The text becomes the decimal form of the clamped value. Written from
    // a change handler (the text written back in another form while the
    // user types), the caret stays where the user typed.
    void SetValue(int32_t value);
    int32_t MinValue() const { return minValue_; }
    void SetMinValue(int32_t value) { minValue_ = value; }
    int32_t MaxValue() const { return maxValue_; }
    void SetMaxValue(int32_t value) { maxValue_ = value; }
    int32_t Increment() const { return increment_; }
    void SetIncrement(int32_t value) { increment_ = value; }
    // When false the text changes only by stepping: typing, deleting,
    // pasting, cutting and undoing change nothing.
    bool EditorEnabled() const { return editorEnabled_; }
    void SetEditorEnabled(bool value) { editorEnabled_ = value; }

    int32_t ClampToRange(int32_t value) const;

    virtual bool IsAcceptedChar(char key);
    virtual void StepUp();
    virtual void StepDown();

    // Lowest height at which the text fits beside the arrows.
    int MinimumHeight();

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreatedWnd() override;
    void KeyDown(WORD& key, TShiftState shift) override;
    void KeyPress(char& key) override;
    void DoEnter() override;
    void DoExit() override;
    void Change() override;

private:
    void LayoutTextArea();
    void PlaceArrows();

    TSpinButton* arrows_ = nullptr;
    int32_t minValue_ = 0;
    int32_t maxValue_ = 0;
    int32_t increment_ = 1;
    bool editorEnabled_ = true;
    int changeDepth_ = 0;  // inside OnChange
};

}  // namespace sw
