#pragma once

#include <QRect>

// The controls of the main window that follow its size, in twips.
struct ResizingControls
{
    QRect list2;
    QRect txt2Write;
    QRect comStatus;
    QRect frame1;
    QRect command2;
};

// The main window's outer size, frame and menu bar included, from the size of its
// client area below the menu bar, both in twips.
constexpr int OuterExtraWidth = 120;
constexpr int OuterExtraHeight = 720;

// Applies the eight layout assignments for the outer window size W x H in order.
// Each stands on its own: one that would make a size negative is skipped, and the
// control keeps that dimension.
void ApplyResizeRule(ResizingControls &controls, int outerWidth, int outerHeight);
