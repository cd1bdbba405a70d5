#include "app/skinframework.h"

#include <QApplication>
#include <QFile>
#include <QStringDecoder>
#include <QStyle>
#include <QWidget>
#include <stdexcept>

namespace app {
namespace {

[[noreturn]] void fail(const QString& description) {
    throw std::runtime_error(description.toStdString());
}

void requireArgumentCount(int id, const QVariantList& args, qsizetype count) {
    if (args.size() != count)
        fail(QStringLiteral("Wrong number of arguments for skin engine member %1").arg(id));
}

int toInt32(const QVariant& value, int id) {
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok)
        fail(QStringLiteral("Type mismatch for skin engine member %1").arg(id));
    return number;
}

QString lineNote(int line) {
    return QStringLiteral(" at line %1").arg(line);
}

} // namespace

SkinFramework::SkinFramework(QObject* parent) : QObject(parent) {}

QVariant SkinFramework::invoke(int id, DispatchKind kind, const QVariantList& args) {
    const bool get = kind == DispatchKind::PropertyGet;
    const bool put = kind == DispatchKind::PropertyPut;
    switch (id) {
    case skin::kLoadSkin:
    case skin::kApplyWindow:
        if (kind != DispatchKind::Method)
            fail(QStringLiteral("Skin engine member %1 is a method").arg(id));
        return id == skin::kLoadSkin ? loadSkin(args) : applyWindow(args);
    case skin::kOptions:
    case skin::kEnabled:
    case skin::kRepolish:
        if (get) {
            requireArgumentCount(id, args, 0);
            if (id == skin::kOptions)
                return options_;
            return id == skin::kEnabled ? enabled_ : repolish_;
        }
        if (put) {
            requireArgumentCount(id, args, 1);
            if (id == skin::kOptions)
                options_ = toInt32(args.front(), id);
            else
                (id == skin::kEnabled ? enabled_ : repolish_) = args.front().toBool();
            return {};
        }
        fail(QStringLiteral("Skin engine member %1 is a property").arg(id));
    default:
        fail(QStringLiteral("Skin engine has no member %1").arg(id));
    }
}

QVariant SkinFramework::loadSkin(const QVariantList& args) {
    requireArgumentCount(skin::kLoadSkin, args, 2);
    const QString path = args.at(0).toString();
    const QString variant = args.at(1).toString();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot read the skin file %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError() || text.contains(QChar(0)))
        fail(QStringLiteral("The skin file %1 is not text").arg(path));
    const QString fault = styleSheetFault(text);
    if (!fault.isEmpty())
        fail(QStringLiteral("The skin file %1 is malformed: %2").arg(path, fault));
    // A skin file holds one variant, the whole file; it has no named parts.
    if (!variant.isEmpty())
        fail(QStringLiteral("The skin file %1 has no variant \"%2\"").arg(path, variant));
    sheet_ = text;
    loaded_ = true;
    return true;
}

QVariant SkinFramework::applyWindow(const QVariantList& args) {
    requireArgumentCount(skin::kApplyWindow, args, 1);
    const qint32 handle = toInt32(args.front(), skin::kApplyWindow);
    if (!loaded_)
        fail(QStringLiteral("No skin is loaded"));
    // Handles are 32-bit values that sign-extend to the platform's width.
    QWidget* window = QWidget::find(WId(quintptr(qintptr(handle))));
    if (!window)
        fail(QStringLiteral("No window has the handle %1").arg(handle));
    if (!enabled_)
        return false;
    if (options_ & skin::kOptionWindowScope)
        window->setStyleSheet(sheet_);
    else
        qApp->setStyleSheet(sheet_);
    if (repolish_) {
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets.prepend(window);
        for (QWidget* widget : widgets) {
            widget->style()->unpolish(widget);
            widget->style()->polish(widget);
            widget->update();
        }
    }
    return true;
}

QString styleSheetFault(const QString& sheet) {
    int line = 1;
    int depth = 0;
    int blockLine = 0;
    int rules = 0;
    QString selector;
    const qsizetype size = sheet.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = sheet.at(i);
        if (c == QLatin1Char('\n'))
            ++line;
        if (c == QLatin1Char('/') && i + 1 < size && sheet.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = sheet.indexOf(QLatin1String("*/"), i + 2);
            if (end < 0)
                return QStringLiteral("unterminated comment") + lineNote(line);
            line += int(QStringView(sheet).mid(i, end - i).count(QLatin1Char('\n')));
            i = end + 1;
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const int start = line;
            qsizetype j = i + 1;
            while (j < size && sheet.at(j) != c && sheet.at(j) != QLatin1Char('\n'))
                j += sheet.at(j) == QLatin1Char('\\') ? 2 : 1;
            if (j >= size || sheet.at(j) != c)
                return QStringLiteral("unterminated string") + lineNote(start);
            if (depth == 0)
                selector += QStringView(sheet).mid(i, j - i + 1);
            i = j;
            continue;
        }
        if (c == QLatin1Char('{')) {
            if (depth > 0)
                return QStringLiteral("nested block") + lineNote(line);
            if (selector.trimmed().isEmpty())
                return QStringLiteral("block without a selector") + lineNote(line);
            selector.clear();
            depth = 1;
            blockLine = line;
        } else if (c == QLatin1Char('}')) {
            if (depth == 0)
                return QStringLiteral("unexpected '}'") + lineNote(line);
            depth = 0;
            ++rules;
        } else if (depth == 0) {
            selector += c;
        }
    }
    if (depth > 0)
        return QStringLiteral("unclosed block") + lineNote(blockLine);
    if (!selector.trimmed().isEmpty())
        return QStringLiteral("text after the last block") + lineNote(line);
    if (rules == 0)
        return QStringLiteral("no rules");
    return {};
}

SkinFramework& skinFrameworkOf(QWidget& page) {
    const QString name = QStringLiteral("SkinFramework1");
    if (auto* engine = page.findChild<SkinFramework*>(name, Qt::FindDirectChildrenOnly))
        return *engine;
    auto* engine = new SkinFramework(&page);
    engine->setObjectName(name);
    return *engine;
}

qint32 windowHandle(QWidget& window) {
    return qint32(quint32(window.winId()));
}

} // namespace app
