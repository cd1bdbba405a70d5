#include "sample/provider/sampleprovider.h"

#include <QStandardPaths>

namespace sample {

QString defaultSampleFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Halvetri/Quorvane Sample");
}

void installSampleProvider(const QString&) {}

} // namespace sample
