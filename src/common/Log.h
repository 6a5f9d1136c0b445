#pragma once

#include <QLoggingCategory>

// Diagnostics for an operator who has no screen: each category goes to
// standard error (journald keeps it when Auravox runs as a service) and can be
// silenced or widened with QT_LOGGING_RULES, e.g. "auravox.download.debug=true".
//
// What goes where:
//   ptt       the transmitter keyed and released, with the cause
//   port      serial ports that can't be opened (device path, errno), line guards
//   announce  announcements started, ended and refused (and why)
//   download  download failures with their reason
//   source    a weather source's error line appearing and clearing
//   audio     sound device failures
//   link      the sibling link and the recorder
//   config    the configuration file
//   release   the release check
//   web       the station page: where it listens, logins, remote changes
Q_DECLARE_LOGGING_CATEGORY(lcPtt)
Q_DECLARE_LOGGING_CATEGORY(lcPort)
Q_DECLARE_LOGGING_CATEGORY(lcAnnounce)
Q_DECLARE_LOGGING_CATEGORY(lcDownload)
Q_DECLARE_LOGGING_CATEGORY(lcSource)
Q_DECLARE_LOGGING_CATEGORY(lcAudio)
Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcConfig)
Q_DECLARE_LOGGING_CATEGORY(lcRelease)
Q_DECLARE_LOGGING_CATEGORY(lcWeb)
