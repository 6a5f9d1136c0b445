#pragma once

#include "weather/Weather.h"

#include <QWidget>

#include <array>
#include <functional>

class QGroupBox;
class QRadioButton;

namespace auravox {

class ConfigRegistry;
class WeatherSourceWindow;

// "Weather station choice": which one source the announcement speaks.
class TFormChoixMeteo : public QWidget
{
    Q_OBJECT
public:
    explicit TFormChoixMeteo(QWidget *parent = nullptr);

    // The source windows, as they are built; a kind without a window is chosen
    // but reads nothing.
    void setSourceWindow(SourceKind kind, WeatherSourceWindow *window);
    WeatherSourceWindow *sourceWindow(SourceKind kind) const;
    // The main window, to centre on, and its "Minimize when starting" box.
    void setMainWindow(QWidget *main, std::function<bool()> startsMinimized);

    SourceKind checkedSource() const;
    // The ready source the announcement uses (None when the checked one is not ready).
    SourceKind activeSource() const;
    QRadioButton *radioButton(SourceKind kind) const { return m_buttons[static_cast<size_t>(kind)]; }

    // The click action of each radio button.
    void choose(SourceKind kind);
    // Reads the checked source again (the units window does so on a change).
    void refreshActiveSource();

    // "METEO=": "MON" applies at once; the others wait for the end of the load.
    void declareConfig(ConfigRegistry &registry);
    // Applies a source remembered from the file, after the whole file was read.
    void applyPendingSource();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::array<QRadioButton *, 7> m_buttons{};
    std::array<WeatherSourceWindow *, 7> m_windows{};
    QWidget *m_main = nullptr;
    std::function<bool()> m_startsMinimized;
    QString m_pendingSource;
};

} // namespace auravox
