#pragma once

#include "weather/SourceDisplay.h"
#include "weather/UnitSettings.h"
#include "weather/Weather.h"

#include <QDate>
#include <QDateTime>
#include <QRect>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace auravox {

class Clock;
class ConfigRegistry;
class UserPrompts;

// What every source window shares with the rest of the program.
struct SourceWindowContext
{
    explicit SourceWindowContext(Clock &programClock) : clock(programClock) {}

    // The program clock: the date of the Vantage Pro2 current-month search,
    // the local date and time of the Internet reports.
    Clock &clock;
    UnitSettings *units = nullptr;
    PlausibilityLimits *limits = nullptr;
    // The one saved geometry of all source windows.
    std::function<QRect()> sharedGeometry;
    std::function<void(const QRect &)> setSharedGeometry;
    // Hides the source choice window when a source window shows.
    std::function<void()> hideChoiceWindow;
    // Beeps and file dialogs.
    UserPrompts *prompts = nullptr;
    // Where the Internet sources also leave their summary files; empty for none.
    QString publicFolder;
    // The configuration file is being applied.
    std::function<bool()> loadingConfiguration;
    // Runs an action from the event loop once the configuration load is over
    // and the clock ticks again.
    std::function<void(std::function<void()>)> afterLoad;
    // The main window's help item.
    std::function<void()> showHelp;
};

// The common part of the six weather source windows: the refresh timer and
// period, the Refresh button, the item check boxes (which also show the
// values), the error line, the shared geometry and the red marking. Each
// source reads its station in takeReading().
class WeatherSourceWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kDefaultTimerMs = 60000;

    WeatherSourceWindow(SourceKind kind, const QString &title, const QString &configPrefix, bool fileOrInternet,
                        const SourceWindowContext &context, QWidget *parent = nullptr);

    SourceKind kind() const { return m_kind; }

    // Whether the announcement may use this source: a file or address is set
    // (the Monitor II window has its own rule).
    virtual bool isReady() const;
    // Reads the source now, fills the snapshot and the captions, and starts
    // the refresh timer again when the source says so.
    virtual void takeReading() = 0;
    // What choosing this source in the choice window does: a reading now, and
    // the window shown unless the program starts minimized.
    virtual void selectSource(bool showWindow);
    // Closes the history file, for the file readers.
    virtual void closeDataFile() {}

    virtual void ButtonRafraichirClick();
    void TimerMeteoTimer();

    // A reading's date and time in the system's format (days since 1899-12-30).
    static QString dateTimeText(double days);

    // The source's error: a non-empty error line makes the source not ready,
    // and the announcement leaves its weather out. Appearing, changing and
    // clearing are logged.
    QString errorLine() const;
    void setErrorLine(const QString &text);
    // A progress text shown on the error line while a download runs
    // ("Downloading ..."): it changes nothing of the source's error, so the
    // last reading stays in use (still subject to the staleness gate) until
    // the download's outcome replaces it. An empty text shows the error again.
    void showProgress(const QString &text);
    // What the error line shows: the progress text, else the error.
    QString shownErrorLine() const;
    QString dataPath() const;
    void setDataPath(const QString &path);

    WeatherSnapshot &snapshot() { return m_snapshot; }
    const WeatherSnapshot &snapshot() const { return m_snapshot; }
    AnnounceSelection selection() const;
    QCheckBox *itemBox(WeatherItem item) const { return m_items[static_cast<size_t>(item)]; }
    QTimer *timer() const { return TimerMeteo; }

    // The item's caption in the user's units, before its value ("Wind (mph) =").
    QString unitCaption(WeatherItem item) const;

    // The frame's top and left with the window's size, as the shared geometry keeps them.
    QRect savedGeometry() const;

    // Shows a caption red (out of limits) or black.
    static void markPlausible(QWidget *caption, bool plausible);
    // Shows a reading's captions: the value boxes, the labels the window has
    // and the date field. What the reading left empty keeps its text and colour.
    void showDisplay(const SourceDisplay &d);

    // The item keys ("W23_TEMPEXT=Y"), at the start of this window's section
    // (positions 10 to 100, in the item order).
    void declareItemKeys(ConfigRegistry &registry, int section);
    // Every key of this window: the items, then the window's own keys.
    virtual void declareConfig(ConfigRegistry &registry, int section);

    // Showing places the window at the shared geometry first.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    const SourceWindowContext &context() const { return m_context; }

    QTimer *TimerMeteo = nullptr;
    QSpinBox *SpinEditRafraichir = nullptr;
    QPushButton *ButtonRafraichir = nullptr;
    QLabel *LabelHistoryFile = nullptr;
    QLineEdit *EditDat = nullptr;
    QPushButton *ButtonParcourir = nullptr;
    QLineEdit *Editdatemeteo = nullptr;
    QLabel *StaticTextErreur = nullptr;
    // Labels some windows have (null in the others).
    QLabel *LabelTros = nullptr;   // the dew point
    QLabel *LabelHumInt = nullptr; // the indoor humidity
    QLabel *Label6 = nullptr;      // the unit of the pressure adjustment
    QLabel *LabelICAO = nullptr;   // the METAR airport

private:
    SourceKind m_kind;
    QString m_prefix;
    QString m_error;
    SourceWindowContext m_context;
    WeatherSnapshot m_snapshot;
    std::array<QCheckBox *, kWeatherItemCount> m_items{};
};

} // namespace auravox
