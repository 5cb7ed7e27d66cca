#include "Icon.h"

namespace sw {

void TIcon::SetHandle(HICON icon) {
    handle_.Attach(icon);
    Changed();
}

void TIcon::Assign(const TIcon& source) {
    if (&source == this) return;
    handle_.Attach(source.Empty() ? nullptr : ::CopyIcon(source.Handle()));
    Changed();
}

bool TIcon::LoadFromResource(const char* name, int width, int height) {
    const HICON icon = static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), name, IMAGE_ICON, width, height, 0));
    if (!icon) return false;
    SetHandle(icon);
    return true;
}

void TIcon::Changed() {
    if (OnChange) OnChange(this);
}

TImageList::TImageList(TComponent* owner, int width, int height)
    : TComponent(owner),
      list_(::ImageList_Create(width, height, ILC_COLORDDB | ILC_MASK, 4, 4)),
      width_(width),
      height_(height) {}

TImageList::~TImageList() {
    if (list_) ::ImageList_Destroy(list_);
}

int TImageList::Count() const { return list_ ? ::ImageList_GetImageCount(list_) : 0; }

int TImageList::AddMasked(HBITMAP bitmap, COLORREF maskColour) {
    if (!list_ || !bitmap) return -1;
    if (maskColour == kNoMask) return ::ImageList_Add(list_, bitmap, nullptr);
    return ::ImageList_AddMasked(list_, bitmap, maskColour);
}

int TImageList::AddIcon(HICON icon) { return list_ && icon ? ::ImageList_AddIcon(list_, icon) : -1; }

bool TImageList::GetIcon(int index, TIcon& icon) const {
    if (!list_ || index < 0 || index >= Count()) return false;
    icon.SetHandle(::ImageList_GetIcon(list_, index, ILD_NORMAL));
    return true;
}

bool TImageList::Draw(HDC dc, int x, int y, int index) const {
    if (!list_ || !dc || index < 0 || index >= Count()) return false;
    return ::ImageList_Draw(list_, index, dc, x, y, ILD_TRANSPARENT) != FALSE;
}

}  // namespace sw
