#include "model/celltext.h"

#include <QByteArray>
#include <algorithm>

namespace model {

QString hexText(std::string_view bytes, std::size_t most) {
    const std::size_t shown = std::min(bytes.size(), most);
    QString text =
        QStringLiteral("0x") +
        QString::fromLatin1(QByteArray(bytes.data(), qsizetype(shown)).toHex().toUpper());
    if (shown < bytes.size())
        text += QChar(0x2026); // an ellipsis: there is more
    return text;
}

QString shownText(std::string_view bytes) {
    constexpr std::size_t kBytes = kShownCharacters * 4;
    if (bytes.size() <= std::size_t(kShownCharacters)) {
        QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        return text.isNull() ? QString(QLatin1String("")) : text; // empty, not NULL
    }
    std::size_t take = std::min(bytes.size(), kBytes);
    while (take < bytes.size() && take > 0 &&
           (static_cast<unsigned char>(bytes[take]) & 0xC0) == 0x80)
        --take; // never split a character
    QString text = QString::fromUtf8(bytes.data(), qsizetype(take));
    bool more = take < bytes.size();
    if (text.size() > kShownCharacters) {
        qsizetype cut = kShownCharacters;
        if (text.at(cut).isLowSurrogate())
            --cut;
        text.truncate(cut);
        more = true;
    }
    if (more)
        text += QChar(0x2026); // an ellipsis: there is more
    return text;
}

} // namespace model
