#include "resizerule.h"

namespace {

void setHeight(QRect &rect, int height)
{
    if (height >= 0)
        rect.setHeight(height);
}

void setWidth(QRect &rect, int width)
{
    if (width >= 0)
        rect.setWidth(width);
}

} // namespace

void ApplyResizeRule(ResizingControls &controls, int W, int H)
{
    setHeight(controls.list2, H - 2400);
    setWidth(controls.list2, W - 140);
    setWidth(controls.txt2Write, W - 450);
    controls.txt2Write.moveTop(H - 1000);
    controls.comStatus.moveLeft(W - 350);
    controls.comStatus.moveTop(H - 950);
    setWidth(controls.frame1, W - 340);
    controls.command2.moveLeft(W - 500);
}
