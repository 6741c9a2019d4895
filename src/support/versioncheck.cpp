#include "support/versioncheck.h"

#include <QRegularExpression>

namespace vadrelon {

Result<QUrl> updateBaseUrl(const QString &override)
{
    const QString text = override.isEmpty() ? QString::fromLatin1(kDefaultUpdateBaseUrl) : override;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty())
        return Error{ErrorCode::BadInput,
                     QStringLiteral("The update server's address must be an https address, not \"%1\".").arg(text)};
    return url;
}

QUrl updateAddress(const QUrl &base, const QString &path)
{
    QUrl url = base;
    QString basePath = url.path();
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + path);
    return url;
}

std::optional<QVersionNumber> parseEditorVersion(const QByteArray &body)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,9}(\\.[0-9]{1,9}){0,3}")));
    const QString text = QString::fromLatin1(body.trimmed());
    if (body.size() > 64 || !pattern.match(text).hasMatch())
        return std::nullopt;
    return QVersionNumber::fromString(text);
}

bool isNewerVersion(const QVersionNumber &candidate, const QVersionNumber &own)
{
    return QVersionNumber::compare(candidate.normalized(), own.normalized()) > 0;
}

} // namespace vadrelon
