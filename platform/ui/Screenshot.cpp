#include "platform/ui/Screenshot.h"

#include <QDir>
#include <QFileInfo>
#include <QPixmap>

namespace platform::ui {

bool SaveScreenshot(QWidget& widget, const QString& pngPath) {
    if (!QDir().mkpath(QFileInfo(pngPath).absolutePath()))
        return false;
    return widget.grab().save(pngPath, "PNG");
}

}  // namespace platform::ui
