#pragma once
// A picture of a window as it is drawn, for tests and documentation (works on the offscreen platform).

#include <QString>
#include <QWidget>

namespace platform::ui {

// Saves `widget` as a PNG file, creating its folder if needed. False when it cannot be written.
bool SaveScreenshot(QWidget& widget, const QString& pngPath);

}  // namespace platform::ui
