#pragma once

#include "weather/SourceChoice.h"

#include <QWidget>

#include <array>
#include <functional>

class QGroupBox;
class QRadioButton;

namespace auravox {

class WeatherSourceWindow;

// "Weather station choice": shows and sets which one source the announcement
// speaks (the source choice).
class TFormChoixMeteo : public QWidget
{
    Q_OBJECT
public:
    explicit TFormChoixMeteo(SourceChoice &choice, QWidget *parent = nullptr);
    ~TFormChoixMeteo() override;

    SourceChoice &choice() { return m_choice; }

    // The source windows, as they are built: choosing a source lets its window
    // take the reading and show.
    void setSourceWindow(SourceKind kind, WeatherSourceWindow *window);
    WeatherSourceWindow *sourceWindow(SourceKind kind) const;
    // The main window, to centre on, and its "Minimize when starting" box.
    void setMainWindow(QWidget *main, std::function<bool()> startsMinimized);

    SourceKind checkedSource() const { return m_choice.chosen(); }
    // The ready source the announcement uses (None when the checked one is not ready).
    SourceKind activeSource() const { return m_choice.activeSource(); }
    QRadioButton *radioButton(SourceKind kind) const { return m_buttons[static_cast<size_t>(kind)]; }

    // The click action of each radio button.
    void choose(SourceKind kind) { m_choice.choose(kind); }
    // Reads the checked source again (the units window does so on a change).
    void refreshActiveSource() { m_choice.refreshChosen(); }

    // "METEO=": the choice's key.
    void declareConfig(ConfigRegistry &registry) { m_choice.declareConfig(registry); }
    // Applies a source remembered from the file, after the whole file was read.
    void applyPendingSource() { m_choice.applyPendingSource(); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    SourceChoice &m_choice;
    std::array<QRadioButton *, 7> m_buttons{};
    std::array<WeatherSourceWindow *, 7> m_windows{};
    QWidget *m_main = nullptr;
    std::function<bool()> m_startsMinimized;
};

} // namespace auravox
