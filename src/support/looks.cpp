#include "support/looks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace vadrelon {

namespace {
const QString LooksFolder = QStringLiteral(":/looks/");
}

QString lookName(int index)
{
    return QStringLiteral("Style_") + QString::number(index);
}

QStringList lookResourceNames()
{
    return QDir(LooksFolder).entryList(QDir::Files, QDir::Name);
}

std::optional<QString> lookStyleSheet(const QString &name)
{
    if (name.isEmpty())
        return std::nullopt;
    for (const QString &file : lookResourceNames()) {
        if (QFileInfo(file).completeBaseName().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        QFile resource(LooksFolder + file);
        if (!resource.open(QIODevice::ReadOnly))
            return std::nullopt;
        return QString::fromUtf8(resource.readAll());
    }
    return std::nullopt;
}

QString lookTitle(int index)
{
    // Every sheet opens with "/* Look <index>, <name>: <description>".
    static const QRegularExpression opening(QStringLiteral("^/\\* Look \\d+, ([^:\\n]+):"));
    const QString number = QString::number(index);
    const std::optional<QString> sheet = lookStyleSheet(lookName(index));
    const QRegularExpressionMatch m = sheet ? opening.match(*sheet) : QRegularExpressionMatch();
    return m.hasMatch() ? number + QLatin1Char(' ') + m.captured(1).trimmed() : number;
}

} // namespace vadrelon
