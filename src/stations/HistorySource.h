#pragma once

#include "weather/StationReading.h"
#include "weather/WeatherSource.h"

namespace auravox {

// The part the WS-23xx, WS-28xx and Vantage Pro2 sources share: the history
// file, the pressure adjustment and the trend threshold, and one reading of
// the file turned into the snapshot and the captions.
class HistorySource : public WeatherSource
{
    Q_OBJECT
public:
    static constexpr int kDefaultTrendThreshold = 4;

    // `trendMax`: the highest trend threshold (tenths of hPa per hour).
    HistorySource(SourceKind kind, const QString &name, const QString &configPrefix, int trendMax,
                  const SourceContext &context, QObject *parent = nullptr);

    void takeReading() override;

    // A history file chosen by the user: an existing one is taken (the error
    // cleared, a reading now); a missing one clears the path with "File error".
    // Returns whether the file was taken.
    bool chooseFile(const QString &path);

    // The pressure adjustment, in steps of the station's unit (no limits).
    int pressureOffset() const { return m_pressureOffset; }
    void setPressureOffset(int offset);
    // The trend threshold in tenths of hPa per hour (1 to trendMax); every
    // reader's threshold is the one shared value, which a change sets.
    int trendThreshold() const { return m_trendThreshold; }
    void setTrendThreshold(int threshold);
    int trendMax() const { return m_trendMax; }

    // Keys after the items: "…_METPERI=", "…_DAT=", then the source's own.
    void declareConfig(ConfigRegistry &registry, int section) override;

protected:
    enum class Outcome { Missing, Read, FileError };
    // Reads the file; may change `path` (the Vantage Pro2 month files).
    virtual Outcome readFile(QString &path, const StationSettings &settings, SourceDisplay &display) = 0;
    // Whether a reading that succeeds clears the error line (the Vantage Pro2
    // reader's rule; the La Crosse readers keep "File error" until a new file).
    virtual bool successClearsError() const { return false; }
    // The text of the date field for a record time.
    virtual QString recordTimeText(double days) const { return dateTimeText(days); }
    // Keys between "…_DAT=" and the end of the section, at positions from 220.
    virtual void declareOwnKeys(ConfigRegistry &registry, int section);
    void declarePressureOffsetKey(ConfigRegistry &registry, int section);

private:
    int m_trendMax;
    int m_pressureOffset = 0;
    int m_trendThreshold = kDefaultTrendThreshold;
};

// "Lacrosse WS-2310 / 2315 / 2355+": the WS-23xx "history.dat" reader.
class Ws23Source final : public HistorySource
{
    Q_OBJECT
public:
    explicit Ws23Source(const SourceContext &context, QObject *parent = nullptr);

protected:
    Outcome readFile(QString &path, const StationSettings &settings, SourceDisplay &display) override;
};

// "Lacrosse WS-2800 / 3610+": the WS-28xx "history.dat" reader, on the
// absolute or the relative pressure.
class Ws28Source final : public HistorySource
{
    Q_OBJECT
public:
    explicit Ws28Source(const SourceContext &context, QObject *parent = nullptr);

    bool absolutePressure() const { return m_absolute; }
    void setAbsolutePressure(bool absolute);

protected:
    Outcome readFile(QString &path, const StationSettings &settings, SourceDisplay &display) override;
    // This family keeps no trend threshold: it starts at 4 at every start.
    void declareOwnKeys(ConfigRegistry &registry, int section) override;

private:
    bool m_absolute = true;
};

// "Vantage Pro2 weather station": the WeatherLink ".wlk" month file reader,
// which can follow the file of the current month.
class Pro2Source final : public HistorySource
{
    Q_OBJECT
public:
    explicit Pro2Source(const SourceContext &context, QObject *parent = nullptr);

    bool searchCurrentMonth() const { return m_searchCurrentMonth; }
    void setSearchCurrentMonth(bool on);

protected:
    Outcome readFile(QString &path, const StationSettings &settings, SourceDisplay &display) override;
    bool successClearsError() const override { return true; }
    QString recordTimeText(double days) const override;
    void declareOwnKeys(ConfigRegistry &registry, int section) override;

private:
    bool m_searchCurrentMonth = true;
};

} // namespace auravox
