#pragma once

#include <QByteArray>
#include <QString>

// The release check: the program's web site keeps a small text file, the
// release list, with one NAME=VERSION line per program of the family. The
// check downloads it, takes the line of this program and compares the
// version there with the program's own.
namespace auravox::ReleaseCheck {

// The program's line in the release list is "auravox=" + version.
inline const QString kProgramKey = QStringLiteral("auravox");
// The local copy of the list, in the working folder; it exists only while a
// check runs.
inline const QString kLocalCopy = QStringLiteral("versions.txt");
inline const QString kListPath = QStringLiteral("/index_fichiers/versions.txt");
inline const QString kDownloadPagePath = QStringLiteral("/software.htm");
// The program's web site, where the release list and the download page live.
inline const QString kDefaultHost = QStringLiteral("https://www.auravox.radio");

// The environment variable that names another site for the release list and
// the download page (a scheme and host, optionally a port and a folder:
// "http://127.0.0.1:8080"); read once, when an address is first needed. One that is
// not http or https is ignored (and logged).
inline const char kSiteVariable[] = "AURAVOX_RELEASE_URL";

// The site every address below is built on: the one AURAVOX_RELEASE_URL names,
// else kDefaultHost, unless set. setReleaseHost() takes a scheme and host,
// optionally a port, without a trailing "/" (one is dropped); an empty text
// restores the default. Tests point it at a local server ("http://127.0.0.1:port").
QString releaseHost();
void setReleaseHost(const QString &host);

QString releaseListAddress();  // host + "/index_fichiers/versions.txt"
QString downloadPageAddress(); // host + "/software.htm"
QString webSiteAddress();      // host + "/", shown in the Info window

// A version text as a number that orders releases: the first three parts
// separated by "." are read as whole numbers (a, b, c) and give
// a × 1 000 000 + b × 1 000 + c, so "2.2.3" < "2.9.9" < "2.10.0".
// - Only the digits at the start of a part count ("4rc1" counts as 4); a
//   part with more than three digits counts as 999.
// - An empty or missing part adds nothing (".2.3", "2..3", "2.2").
// - A part that does not begin with a digit ends the reading: the number is
//   what the parts before it gave (" 2.2.3" and "v2" give 0, "2.x.3" gives
//   2 000 000). An empty text gives 0.
int VersionNumber(const QString &version);

// The version of `key` in the bytes of a downloaded release list, or an empty
// text when there is none:
// - a download shorter than 3 bytes, or one with "<" among its first 3 bytes
//   (the server sent a web page, an error page as a rule), holds none;
// - otherwise the text (Windows-1252, a UTF-8 byte order mark skipped) is
//   read line by line, and the first line whose text up to and including its
//   first "=" is exactly key + "=" (case-sensitive) gives its value: the rest
//   of the line without surrounding blanks. Other lines are ignored.
QString versionFromReleaseList(const QByteArray &bytes, const QString &key);

// Downloads the release list into "versions.txt" in the current directory
// (the program's folder) and returns the version of `key`, empty when none
// could be obtained (no network, an HTTP error, a web page, no line for the
// key, an empty value). "versions.txt" is deleted before the download and
// again before returning, whatever happened. Blocks the caller until the
// download ends; the event loop runs meanwhile (see DownloadFile).
QString FetchReleaseVersion(const QString &key);

enum class ReleaseVerdict {
    NoVersion, // nothing was obtained
    UpToDate,  // the listed version is not above the program's
    Newer,     // the listed version is above the program's
};
ReleaseVerdict judgeRelease(const QString &listedVersion, const QString &ownVersion);

// "A more recent release of Auravox is available at " + downloadPageAddress().
QString newReleaseMessage();
inline const QString kUpToDateMessage = QStringLiteral("You are up to date");
inline const QString kInternetFailureMessage = QStringLiteral("Internet failure");

} // namespace auravox::ReleaseCheck
