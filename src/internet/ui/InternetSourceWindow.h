#pragma once

#include "internet/Favourites.h"
#include "weather/ui/WeatherSourceWindow.h"

#include <QStringList>

#include <functional>

class QComboBox;
class QToolButton;

namespace auravox {

class TFormFav;

// The part the METAR and APRS windows share: the address or file entry and
// its history of ten, the error number and its "File error #" line, the data
// path the refresh cycle decodes, the pressure adjustment, the time base, the
// favourites and the guards against one handler starting another.
class InternetSourceWindow : public WeatherSourceWindow
{
    Q_OBJECT
public:
    static constexpr int kHistorySize = 10;

    struct Layout
    {
        SourceKind kind = SourceKind::None;
        QString title, prefix, entryLabel, dateLabel;
        QStringList timeBases; // ComboBoxTU: "UT"/"TU", "Loc"
        bool browse = false;   // a Browse button for a local file
    };

    InternetSourceWindow(const Layout &layout, const SourceWindowContext &context, QWidget *parent = nullptr);

    // Ready when a report file is known and the source has no error. A
    // refresh's download in progress only shows "Downloading": until it ends,
    // the last reading stays in use.
    bool isReady() const override { return !m_dataPath.isEmpty() && errorLine().isEmpty(); }
    // Choosing the source: one refresh (which fetches an address at once).
    void selectSource(bool showWindow) override;

    // Enter in the entry: a fetch (or, for APRS, taking a file).
    virtual void EnterAction() = 0;
    void ButtonRafraichirClick() override;
    void ComboBoxPathChange(int index);
    void AddToHistory(const QString &text);
    QStringList history() const;

    int errorNumber() const { return m_errorNumber; }
    // The file the refresh cycle decodes.
    QString reportPath() const { return m_dataPath; }
    QString entryText() const;
    void setEntryText(const QString &text);

    void setFavourites(TFormFav *favourites) { m_favourites = favourites; }

    void declareConfig(ConfigRegistry &registry, int section) override;

protected:
    void closeEvent(QCloseEvent *event) override;

    // Keys after the items and before "…_METPERI=" (APRS raw units), at 110..190.
    virtual void declareLeadingKeys(ConfigRegistry &, int) {}
    // Keys after "…_TU=" (APRS login notes), from 260.
    virtual void declareTrailingKeys(ConfigRegistry &, int) {}
    // Runs before a refresh (the APRS window closes its login browser).
    virtual void beforeRefresh() {}

    bool isAddress(const QString &text) const;
    // The working folder's cache file ("metar_web.txt") as the fetch writes it.
    void setReportPath(const QString &path) { m_dataPath = path; }
    void setErrorNumber(int n) { m_errorNumber = n; }
    void showErrorNumber();
    void armTimer();
    bool loadingConfiguration() const;
    // Writes one exchange file whole (never half a file); on failure the user
    // is told `failure`.
    void writeExchangeFile(const QString &path, const QByteArray &bytes, const QString &failure);
    // The same file in the public folder (when there is one), then in the working folder.
    void writeExchangeFileTwice(const QString &name, const QByteArray &bytes, const QString &failurePublic,
                                const QString &failureLocal, bool publicFirst);
    void beep();
    void tell(const QString &text);

    QComboBox *ComboBoxPath = nullptr;
    QLabel *Label5 = nullptr;
    QSpinBox *SpinEditOffSetPression = nullptr;
    QComboBox *ComboBoxTU = nullptr;
    QPushButton *ButtonFav = nullptr;
    QToolButton *SpeedButtonMenuAide = nullptr;
    QLabel *LabelDate = nullptr;

    bool m_busy = false;
    bool m_fetchFromTimer = false;
    TFormFav *m_favourites = nullptr;

private:
    Layout m_layout;
    QString m_dataPath;
    int m_errorNumber = 0;
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
