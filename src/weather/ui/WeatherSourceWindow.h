#pragma once

#include "weather/SourceDisplay.h"
#include "weather/UnitSettings.h"
#include "weather/Weather.h"
#include "weather/WeatherSource.h"

#include <QDate>
#include <QDateTime>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>

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

// What every source window shares with the rest of the program: what the
// sources share, and the windows' own needs.
struct SourceWindowContext : SourceContext
{
    explicit SourceWindowContext(Clock &programClock) : SourceContext(programClock) {}

    // The one saved geometry of all source windows.
    std::function<QRect()> sharedGeometry;
    std::function<void(const QRect &)> setSharedGeometry;
    // Hides the source choice window when a source window shows.
    std::function<void()> hideChoiceWindow;
    // Beeps and file dialogs.
    UserPrompts *prompts = nullptr;
    // The main window's help item.
    std::function<void()> showHelp;
};

// The common part of the six weather source windows: they show their source
// (its captions, its error line) and edit its settings (the refresh period,
// the item check boxes, the file or address); the Refresh button, the shared
// geometry and the red marking.
class WeatherSourceWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kDefaultTimerMs = WeatherSource::kDefaultPeriodMinutes * 60000;

    // A window over its source.
    WeatherSourceWindow(WeatherSource &source, bool fileOrInternet, const SourceWindowContext &context,
                        QWidget *parent = nullptr);
    ~WeatherSourceWindow() override;

    WeatherSource &source() { return *m_source; }
    const WeatherSource &source() const { return *m_source; }
    SourceKind kind() const { return m_source->kind(); }

    // Whether the announcement may use this source (the source's rule).
    bool isReady() const { return m_source->isReady(); }
    // Reads the source now.
    void takeReading() { m_source->takeReading(); }
    // What choosing this source in the choice window does: a reading now, and
    // the window shown unless the program starts minimized.
    virtual void selectSource(bool showWindow);
    // Closes the history file, for the file readers.
    virtual void closeDataFile() {}

    virtual void ButtonRafraichirClick();
    void TimerMeteoTimer();

    // A reading's date and time in the system's format (days since 1899-12-30).
    static QString dateTimeText(double days) { return WeatherSource::dateTimeText(days); }

    // The source's error line and progress text (see WeatherSource).
    QString errorLine() const { return m_source->errorLine(); }
    void setErrorLine(const QString &text) { m_source->setErrorLine(text); }
    void showProgress(const QString &text) { m_source->showProgress(text); }
    QString shownErrorLine() const;
    QString dataPath() const { return m_source->dataPath(); }
    void setDataPath(const QString &path) { m_source->setDataPath(path); }

    WeatherSnapshot &snapshot() { return m_source->snapshot(); }
    const WeatherSnapshot &snapshot() const { return m_source->snapshot(); }
    AnnounceSelection selection() const { return m_source->selection(); }
    QCheckBox *itemBox(WeatherItem item) const { return m_items[static_cast<size_t>(item)]; }
    QTimer *timer() const { return m_source->timer(); }

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
    void declareItemKeys(ConfigRegistry &registry, int section) { m_source->declareItemKeys(registry, section); }
    // Every key of this window's source: by default the source's own declaration.
    virtual void declareConfig(ConfigRegistry &registry, int section);

    // Showing places the window at the shared geometry first.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    const SourceWindowContext &context() const { return m_context; }
    // The entry field is the source's own setting (an Internet source's
    // address), not its data path: the window binds it itself.
    void unbindEntryFromPath();

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
    void build(bool fileOrInternet);
    void bindSource();

    WeatherSource *m_source = nullptr;
    bool m_entryIsPath = true;
    SourceWindowContext m_context;
    std::array<QCheckBox *, kWeatherItemCount> m_items{};
};

} // namespace auravox
