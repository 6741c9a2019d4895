#include "content/resources.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace vadrelon {

namespace {

// Where findResource looks, in this order. Address headers live apart (":/headers/") so that
// a header is never mistaken for an image.
const char *const kSearchedFolders[] = {":/catalogue", ":/images"};

bool namesResource(const QString &fileName, const QString &name)
{
    if (fileName.compare(name, Qt::CaseInsensitive) == 0)
        return true;
    for (const char *ext : {".hex", ".bin"})
        if (fileName.compare(name + QLatin1String(ext), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

Result<QByteArray> findResourceIn(const QStringList &folders, const QString &name)
{
    for (const QString &folder : folders) {
        const QDir dir(folder);
        for (const QString &fileName : dir.entryList(QDir::Files, QDir::Name)) {
            if (!namesResource(fileName, name))
                continue;
            QFile file(dir.filePath(fileName));
            if (!file.open(QIODevice::ReadOnly))
                return Error{ErrorCode::ResourceUnreadable,
                             QStringLiteral("cannot read resource \"%1\": %2").arg(name, file.errorString())};
            return file.readAll();
        }
    }
    return Error{ErrorCode::ResourceMissing, QStringLiteral("no resource named \"%1\"").arg(name)};
}

bool carriesResource(const QString &name)
{
    for (const char *folder : kSearchedFolders)
        for (const QString &fileName : QDir(QLatin1String(folder)).entryList(QDir::Files))
            if (namesResource(fileName, name))
                return true;
    return false;
}

Result<QByteArray> findResource(const QString &name)
{
    QStringList folders;
    for (const char *folder : kSearchedFolders)
        folders << QLatin1String(folder);
    return findResourceIn(folders, name);
}

QString resourceNameFor(const QString &effectName)
{
    QString name = effectName;
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    name.replace(QLatin1Char('+'), QLatin1String("plus"));
    name.replace(QLatin1Char('X'), QLatin1String("mult"), Qt::CaseSensitive);
    return name;
}

QStringList splitResourceLines(const QByteArray &bytes)
{
    QStringList lines = QString::fromLatin1(bytes).split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast(); // the break after the last line, or an empty resource
    for (QString &line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return lines;
}

Result<QStringList> loadResourceLines(const QString &name)
{
    const Result<QByteArray> bytes = findResource(name);
    if (const Error *error = std::get_if<Error>(&bytes))
        return *error;
    return splitResourceLines(std::get<QByteArray>(bytes));
}

Result<quint32> latestAlgorithmVersionFrom(const QString &firstCatalogueEntry)
{
    const auto fail = [&](const char *why) {
        return Error{ErrorCode::BadCatalogue,
                     QStringLiteral("catalogue entry \"%1\" %2").arg(firstCatalogueEntry, QLatin1String(why))};
    };
    if (firstCatalogueEntry.size() < 17)
        return fail("is too short to name a version");
    QString digits = firstCatalogueEntry.mid(12, 5);
    while (digits.startsWith(QLatin1Char(' ')))
        digits.remove(0, 1);
    const bool allDigits = !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (!allDigits)
        return fail("does not name a version in characters 13 to 17");
    return digits.toUInt();
}

} // namespace vadrelon
