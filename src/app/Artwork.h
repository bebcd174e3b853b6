#pragma once

#include <QIcon>
#include <QImage>

namespace vtc880 {

// The window's pictures, drawn by the program itself.

constexpr int backgroundWidth = 669;
constexpr int backgroundHeight = 306;

// The picture behind the controls: the area above the progress bar, wider than the window (the
// window shows its left part).
QImage backgroundPicture();

// The program's icon, a chip taking in a downward arrow, drawn for `size` × `size` pixels (each of
// 16 and 32 has its own drawing; other sizes are scaled from 32).
QImage iconPicture(int size);

// Both icon sizes, for the window and the application.
QIcon programIcon();

} // namespace vtc880
