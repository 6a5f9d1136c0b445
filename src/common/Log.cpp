#include "common/Log.h"

// Info and above are on by default: an unattended station's journal should say
// what it did without any setting.
Q_LOGGING_CATEGORY(lcPtt, "auravox.ptt", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPort, "auravox.port", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAnnounce, "auravox.announce", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDownload, "auravox.download", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSource, "auravox.source", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAudio, "auravox.audio", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLink, "auravox.link", QtInfoMsg)
Q_LOGGING_CATEGORY(lcConfig, "auravox.config", QtInfoMsg)
Q_LOGGING_CATEGORY(lcRelease, "auravox.release", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWeb, "auravox.web", QtInfoMsg)
