#pragma once

#include <QFont>
#include <QRect>

// The dialogs were laid out in twips, in the dialog face of their design. These turn that layout into
// this screen's pixels and the closest face that is installed.
namespace DialogLayout {
// Twips to pixels: 15 twips to the pixel at 96 dpi.
constexpr int px(int twips)
{
    return (twips + 7) / 15;
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// The dialog face the layout was designed with, else the closest in width that is installed:
// fontconfig would otherwise answer the unknown name with a much wider face and texts would not fit.
QFont dialogFont(qreal pointSize = 8.25, bool bold = false);
} // namespace DialogLayout
