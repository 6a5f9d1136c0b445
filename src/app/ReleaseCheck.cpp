#include "app/ReleaseCheck.h"

#include "common/Log.h"
#include "common/TextFile.h"
#include "internet/DownloadFile.h"

#include <QFile>
#include <QStringList>

namespace auravox::ReleaseCheck {

namespace {

// A site address as setReleaseHost() keeps it: no blanks, no trailing "/".
QString normalisedHost(const QString &host)
{
    QString h = host.trimmed();
    while (h.endsWith(QLatin1Char('/')))
        h.chop(1);
    return h;
}

// The site named by AURAVOX_RELEASE_URL, else the program's own.
QString hostFromEnvironment()
{
    const QString wanted = normalisedHost(qEnvironmentVariable(kSiteVariable));
    if (wanted.isEmpty())
        return kDefaultHost;
    if (!wanted.startsWith(QLatin1String("http://")) && !wanted.startsWith(QLatin1String("https://"))) {
        qCWarning(lcRelease).noquote() << kSiteVariable << "is not an http or https address, ignored:" << wanted;
        return kDefaultHost;
    }
    qCInfo(lcRelease).noquote() << "release list taken from" << wanted + kListPath;
    return wanted;
}

QString &hostSetting()
{
    static QString host = hostFromEnvironment();
    return host;
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

QString releaseHost()
{
    return hostSetting();
}

void setReleaseHost(const QString &host)
{
    const QString h = normalisedHost(host);
    hostSetting() = h.isEmpty() ? kDefaultHost : h;
}

QString releaseListAddress()
{
    return releaseHost() + kListPath;
}

QString downloadPageAddress()
{
    return releaseHost() + kDownloadPagePath;
}

QString webSiteAddress()
{
    return releaseHost() + QLatin1Char('/');
}

int VersionNumber(const QString &version)
{
    static constexpr int kWeights[] = {1'000'000, 1'000, 1};
    static constexpr int kPartMax = 999;

    int number = 0;
    qsizetype pos = 0;
    for (int weight : kWeights) {
        if (pos > version.size())
            break; // no such part
        qsizetype end = version.indexOf(QLatin1Char('.'), pos);
        if (end < 0)
            end = version.size();
        if (end > pos) {
            if (!isAsciiDigit(version.at(pos)))
                return number;
            int part = 0;
            for (qsizetype i = pos; i < end && isAsciiDigit(version.at(i)); ++i)
                part = qMin(kPartMax, part * 10 + (version.at(i).unicode() - '0'));
            number += part * weight;
        }
        pos = end + 1;
    }
    return number;
}

QString versionFromReleaseList(const QByteArray &bytes, const QString &key)
{
    if (bytes.size() < 3 || bytes.left(3).contains('<'))
        return {};
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    const QString wanted = key + QLatin1Char('=');
    const QStringList lines = TextFile::splitLines(TextFile::decodeCp1252(body));
    for (const QString &line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals >= 1 && QStringView(line).left(equals + 1) == wanted)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}

QString FetchReleaseVersion(const QString &key)
{
    // An old copy left by an interrupted run must not pass for the new list:
    // a failed download leaves the destination as it was.
    QFile::remove(kLocalCopy);
    const DownloadResult result = DownloadFile(releaseListAddress(), kLocalCopy);
    QByteArray bytes;
    if (result) {
        QFile file(kLocalCopy);
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    QFile::remove(kLocalCopy);
    return versionFromReleaseList(bytes, key);
}

ReleaseVerdict judgeRelease(const QString &listedVersion, const QString &ownVersion)
{
    if (listedVersion.isEmpty())
        return ReleaseVerdict::NoVersion;
    return VersionNumber(ownVersion) < VersionNumber(listedVersion) ? ReleaseVerdict::Newer
                                                                    : ReleaseVerdict::UpToDate;
}

QString newReleaseMessage()
{
    return QStringLiteral("A more recent release of Auravox is available at ") + downloadPageAddress();
}

} // namespace auravox::ReleaseCheck
