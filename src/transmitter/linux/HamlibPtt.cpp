#include "transmitter/linux/HamlibPtt.h"

#include <hamlib/rig.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <string>

namespace auravox {

namespace {
// A failed open that took its time holds the next one off for this many
// times as long, and never longer than the cap.
constexpr qint64 kHoldOffFactor = 9;
constexpr qint64 kHoldOffCapMs = 30000;

void setConf(RIG *rig, const char *name, const QByteArray &value)
{
    rig_set_conf(rig, rig_token_lookup(rig, name), value.constData());
}

// Hamlib's text for an error code. rigerror() puts its saved debug trace
// ahead of the text since Hamlib 4.5 ("rig_get_mode(2539): freqSubB=0, ..."
// where "Invalid parameter" was meant); rigerror2() gives the text alone.
QString errorText(int code)
{
    const char *text = rigerror2(code);
    return text ? QString::fromLocal8Bit(text).trimmed() : QStringLiteral("Hamlib error %1").arg(code);
}

// Hamlib's rig_open keeps the pointer setlocale gives for LC_NUMERIC, sets "C",
// and restores the locale from that pointer, which setting "C" has freed (a
// read of freed memory whenever the program runs in another locale, as it does
// after Qt has taken the user's). With LC_NUMERIC already "C", the name Hamlib
// keeps is the C library's static one. Every call into Hamlib runs inside this
// guard, which restores the user's locale from a copy of its own.
class NumericLocaleC
{
public:
    NumericLocaleC()
    {
        const char *now = std::setlocale(LC_NUMERIC, nullptr);
        if (now && std::strcmp(now, "C") != 0) {
            m_saved = now;
            std::setlocale(LC_NUMERIC, "C");
        }
    }
    ~NumericLocaleC()
    {
        if (!m_saved.empty())
            std::setlocale(LC_NUMERIC, m_saved.c_str());
    }
    NumericLocaleC(const NumericLocaleC &) = delete;
    NumericLocaleC &operator=(const NumericLocaleC &) = delete;

private:
    std::string m_saved;
};
} // namespace

HamlibPtt::HamlibPtt(const RigSettings &settings) : m_settings(settings)
{
    // Hamlib traces to standard error by default; the journal gets our lines.
    const NumericLocaleC numericC;
    rig_set_debug(RIG_DEBUG_NONE);
}

HamlibPtt::~HamlibPtt()
{
    close();
}

QString HamlibPtt::where() const
{
    return QStringLiteral("rig model %1 at %2").arg(m_settings.model).arg(m_settings.port);
}

bool HamlibPtt::fail(const char *what, int code)
{
    m_reason = QStringLiteral("%1: %2").arg(QLatin1String(what), errorText(code));
    m_error = QStringLiteral("%1: %2").arg(where(), m_reason);
    return false;
}

bool HamlibPtt::connectRig()
{
    const NumericLocaleC numericC;
    m_rig = rig_init(static_cast<rig_model_t>(m_settings.model));
    if (!m_rig) {
        m_reason = QStringLiteral("Hamlib has no rig model %1").arg(m_settings.model);
        m_error = QStringLiteral("%1: %2").arg(where(), m_reason);
        return false;
    }
    // Hamlib answers get_ptt from a cache of what it last set: the guard must
    // see what the rig has now (another program may have keyed it).
    rig_set_cache_timeout_ms(m_rig, HAMLIB_CACHE_ALL, 0);
    setConf(m_rig, "rig_pathname", m_settings.port.toLocal8Bit());
    setConf(m_rig, "timeout", QByteArray::number(m_settings.timeoutMs));
    setConf(m_rig, "retry", "0");
    if (m_settings.baud > 0)
        setConf(m_rig, "serial_speed", QByteArray::number(m_settings.baud));
    const int rc = rig_open(m_rig);
    if (rc != RIG_OK) {
        fail("open", rc);
        rig_cleanup(m_rig);
        m_rig = nullptr;
        return false;
    }
    m_connected = true;
    return true;
}

void HamlibPtt::disconnectRig()
{
    const NumericLocaleC numericC;
    if (!m_rig)
        return;
    if (m_connected)
        rig_close(m_rig);
    rig_cleanup(m_rig);
    m_rig = nullptr;
    m_connected = false;
}

bool HamlibPtt::open()
{
    close();
    if (!connectRig())
        return false;
    m_open = true;
    if (!setPtt(false)) {
        disconnectRig();
        m_open = false;
        return false;
    }
    return true;
}

void HamlibPtt::close()
{
    const NumericLocaleC numericC;
    m_open = false;
    if (!m_rig)
        return;
    if (m_connected)
        rig_set_ptt(m_rig, RIG_VFO_CURR, RIG_PTT_OFF);
    disconnectRig();
}

void HamlibPtt::dropIfSilent(int code)
{
    // A rig that does not answer, or whose line broke, is opened again before
    // the next call; one that answers that it can't do this stays open.
    // (Hamlib returns its codes negated.)
    const int error = code < 0 ? -code : code;
    if (error == RIG_ETIMEOUT || error == RIG_EIO || error == RIG_EPROTO)
        disconnectRig();
}

bool HamlibPtt::mayTryAgain() const
{
    return !m_sinceFailedOpen.isValid() || m_sinceFailedOpen.hasExpired(m_holdOffMs);
}

bool HamlibPtt::ready()
{
    const NumericLocaleC numericC;
    if (m_connected)
        return true;
    if (!mayTryAgain())
        return false;
    // The rig stopped answering before: open it again (rigctld restarted, the
    // cable back in) on a new handle, so no state of the failed one carries over.
    disconnectRig();
    QElapsedTimer took;
    took.start();
    if (connectRig()) {
        m_sinceFailedOpen.invalidate();
        return true;
    }
    m_holdOffMs = std::min(took.elapsed() * kHoldOffFactor, kHoldOffCapMs);
    m_sinceFailedOpen.start();
    m_error = QStringLiteral("%1: the rig does not answer (opening it again failed: %2)").arg(where(), m_reason);
    return false;
}

bool HamlibPtt::setPtt(bool on)
{
    const NumericLocaleC numericC;
    if (!m_open) {
        m_error = where() + QStringLiteral(": not open");
        return false;
    }
    if (!ready())
        return false; // the error says why, or why the last try failed
    const int rc = rig_set_ptt(m_rig, RIG_VFO_CURR, on ? RIG_PTT_ON : RIG_PTT_OFF);
    if (rc != RIG_OK) {
        const bool failed = fail(on ? "set PTT on" : "set PTT off", rc);
        disconnectRig();
        return failed;
    }
    return true;
}

ModemStatus HamlibPtt::inputs()
{
    const NumericLocaleC numericC;
    ModemStatus s;
    if (!m_open || !m_settings.inhibitOnDcd || !ready())
        return s;
    dcd_t dcd = RIG_DCD_OFF;
    const int rc = rig_get_dcd(m_rig, RIG_VFO_CURR, &dcd);
    if (rc != RIG_OK) {
        fail("get DCD", rc);
        dropIfSilent(rc);
        return s;
    }
    s.dcd = dcd == RIG_DCD_ON;
    return s;
}

std::optional<QStringList> HamlibPtt::pttFoundUp()
{
    const NumericLocaleC numericC;
    if (!m_open || !ready())
        return std::nullopt;
    ptt_t ptt = RIG_PTT_OFF;
    const int rc = rig_get_ptt(m_rig, RIG_VFO_CURR, &ptt);
    if (rc != RIG_OK) {
        dropIfSilent(rc);
        return std::nullopt;
    }
    if (ptt == RIG_PTT_OFF)
        return QStringList();
    return QStringList{QStringLiteral("PTT")};
}

} // namespace auravox
