#pragma once

#include "internet/Favourites.h"
#include "internet/InternetSource.h"
#include "weather/ui/WeatherSourceWindow.h"

#include <QStringList>

#include <functional>

class QComboBox;
class QToolButton;

namespace auravox {

class TFormFav;

// The part the METAR and APRS windows share: they show their source (the
// entry and its history, the error line, the captions) and edit its settings
// (the entry, the pressure adjustment, the time base); the favourites window
// and the help button.
class InternetSourceWindow : public WeatherSourceWindow
{
    Q_OBJECT
public:
    static constexpr int kHistorySize = InternetSource::kHistorySize;

    struct Layout
    {
        QString entryLabel, dateLabel;
        QStringList timeBases; // ComboBoxTU: "UT"/"TU", "Loc"
        bool browse = false;   // a Browse button for a local file
    };

    InternetSourceWindow(InternetSource &source, const Layout &layout, const SourceWindowContext &context,
                         QWidget *parent = nullptr);
    ~InternetSourceWindow() override;

    InternetSource &internetSource() { return m_internet; }
    // Choosing the source: one refresh (which fetches an address at once).
    void selectSource(bool showWindow) override;

    // Enter in the entry: a fetch (or, for APRS, taking a file).
    virtual void EnterAction();
    void ButtonRafraichirClick() override;
    void ComboBoxPathChange(int index);
    void AddToHistory(const QString &text) { m_internet.addToHistory(text); }
    QStringList history() const { return m_internet.history(); }

    int errorNumber() const { return m_internet.errorNumber(); }
    // The file the refresh cycle decodes.
    QString reportPath() const { return m_internet.dataPath(); }
    QString entryText() const;
    void setEntryText(const QString &text);

    void setFavourites(TFormFav *favourites) { m_favourites = favourites; }

protected:
    void closeEvent(QCloseEvent *event) override;

    // Runs before a refresh (the APRS window closes its login browser).
    virtual void beforeRefresh() {}
    void tell(const QString &text);

    QComboBox *ComboBoxPath = nullptr;
    QLabel *Label5 = nullptr;
    QSpinBox *SpinEditOffSetPression = nullptr;
    QComboBox *ComboBoxTU = nullptr;
    QPushButton *ButtonFav = nullptr;
    QToolButton *SpeedButtonMenuAide = nullptr;
    QLabel *LabelDate = nullptr;

    bool m_busy = false;
    TFormFav *m_favourites = nullptr;

private:
    void showHistory();
    void bindInternetSource();

    InternetSource &m_internet;
};

// "METAR Favourites" and "APRS Favourites": ten entries, each opened in its
// source window by the button in front of it. The fields show and edit the
// window's `Favourites`.
class TFormFav final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kCount = Favourites::kCount;

    TFormFav(const QString &title, const QString &keyPrefix, InternetSourceWindow &source, QWidget *parent = nullptr);

    // Favourite n (1..10).
    void ButtonClick(int n);
    QLineEdit *field(int n) const { return m_fields[static_cast<size_t>(n - 1)]; }
    Favourites &favourites() { return m_model; }
    // "METAR_FAV1=" ... "METAR_FAV10=", in the source's section.
    void declareConfig(ConfigRegistry &registry, int section, int position)
    {
        m_model.declareConfig(registry, section, position);
    }

protected:
    void showEvent(QShowEvent *event) override;

private:
    Favourites m_model;
    InternetSourceWindow &m_source;
    std::array<QLineEdit *, kCount> m_fields{};
};

} // namespace auravox
