#include "platform/ui/StartupLocale.h"

#include <clocale>

namespace platform::ui {

void RestoreNumericLocale() {
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace platform::ui
