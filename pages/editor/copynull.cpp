#include "pages/editor/copynull.h"

#include "app/mainmodule.h"
#include "app/settingsstore.h"
#include "app/viewsettings.h"

namespace pages {
namespace {

const QString kSection = QStringLiteral("Grid");
const QString kNullKey = QStringLiteral("CopyNullAs");

} // namespace

QString copyNullWord() {
    try {
        return app::GetSetting(app::ViewSettingsKey, kSection, kNullKey);
    } catch (...) {
        return {}; // a store that cannot be read: NULL copies as an empty cell
    }
}

void setCopyNullWord(const QString& word) {
    app::SaveSetting(app::ViewSettingsKey, kSection, kNullKey, word);
}

} // namespace pages
