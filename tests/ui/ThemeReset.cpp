#include "TestIsolation.h"
#include "platform/UserDefaults.h"
#include "ui/ThemeObserver.h"
#include "ui/UiKeys.h"

namespace {
// A fresh process starts dark with nothing stored.
const bool registered = TestIsolation::addReset([] {
    if (ThemeObserver::shared().style() != AppThemeStyle::dark)
        ThemeObserver::shared().setStyle(AppThemeStyle::dark);
    UserDefaults::standard().remove(UiKeys::appThemeStyle);
});
}
