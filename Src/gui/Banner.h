#pragma once

#include <QPixmap>

class QWidget;

// The picture over the main window and About, drawn from its SVG for the screen `widget` is on,
// so it is as sharp at 200% as at 100%.
QPixmap bannerFor(const QWidget& widget);
