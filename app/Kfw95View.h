// The view: paints the enlarged security icon over the client area.
#pragma once
#include "framework/DocView.h"

namespace kf {

class CKfw95View : public fw::View {
public:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    void OnDraw(HDC dc) override;
};

}  // namespace kf
