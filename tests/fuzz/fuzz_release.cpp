// libFuzzer target: the release list and the version numbers. Whatever the
// bytes, the version found is one trimmed line of the list that came after
// "auravox=", its number stays in range and reads back the same from its
// a.b.c form, and the verdict follows the numbers.

#include "app/ReleaseCheck.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

void checkNumber(const QString &version)
{
    using namespace auravox::ReleaseCheck;
    const int n = VersionNumber(version);
    if (n < 0 || n > 999'999'999)
        __builtin_trap();
    const QString canonical = QStringLiteral("%1.%2.%3").arg(n / 1'000'000).arg(n / 1'000 % 1'000).arg(n % 1'000);
    if (VersionNumber(canonical) != n)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace auravox::ReleaseCheck;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    const QString version = versionFromReleaseList(bytes, kProgramKey);
    if (!version.isEmpty()) {
        if (version != version.trimmed() || version.contains(QLatin1Char('\n')) || version.contains(QLatin1Char('\r')))
            __builtin_trap();
        if (bytes.size() < 3 || bytes.left(3).contains('<') || !bytes.contains("auravox="))
            __builtin_trap();
    }
    versionFromReleaseList(bytes, QStringLiteral("zorbel"));

    // The whole input as a version text too, as a list line could hold it.
    const QString raw = QString::fromLatin1(bytes);
    checkNumber(version);
    checkNumber(raw);
    for (const QString &own : {QStringLiteral("2.2.3"), raw}) {
        const ReleaseVerdict verdict = judgeRelease(version, own);
        const ReleaseVerdict expected = version.isEmpty() ? ReleaseVerdict::NoVersion
            : VersionNumber(own) < VersionNumber(version)   ? ReleaseVerdict::Newer
                                                            : ReleaseVerdict::UpToDate;
        if (verdict != expected)
            __builtin_trap();
    }
    return 0;
}
