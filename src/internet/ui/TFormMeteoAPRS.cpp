#include "internet/ui/TFormMeteoAPRS.h"

#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "common/DateTime.h"
#include "common/OutsideFile.h"
#include "internet/DownloadFile.h"
#include "internet/ui/LoginBrowser.h"
#include "platform/UserPrompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace auravox {

namespace {
InternetSourceWindow::Layout aprsLayout()
{
    InternetSourceWindow::Layout l;
    l.kind = SourceKind::Aprs;
    l.title = QStringLiteral("APRS weather data");
    l.prefix = QStringLiteral("APRS_");
    l.entryLabel = QStringLiteral("APRS file :");
    l.dateLabel = QStringLiteral("Date :");
    l.timeBases = {QStringLiteral("TU"), QStringLiteral("Loc")};
    l.browse = true;
    return l;
}

QRadioButton *radio(QWidget *parent, QLayout *into, const char *name, const QString &caption)
{
    auto *b = new QRadioButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    into->addWidget(b);
    return b;
}
} // namespace

TFormMeteoAPRS::TFormMeteoAPRS(const SourceWindowContext &context, QWidget *parent)
    : InternetSourceWindow(aprsLayout(), context, parent)
{
    setObjectName(QStringLiteral("FormMeteoAPRS"));
    auto *root = static_cast<QVBoxLayout *>(layout());

    auto *units = new QGroupBox(QStringLiteral("Raw data units"), this);
    auto *unitRows = new QVBoxLayout(units);
    auto *windRow = new QHBoxLayout;
    auto *windGroup = new QWidget(units);
    windGroup->setLayout(windRow);
    RadioButtonKM = radio(windGroup, windRow, "RadioButtonKM", QStringLiteral("km/h"));
    RadioButtonMile = radio(windGroup, windRow, "RadioButtonMile", QStringLiteral("mph"));
    RadioButtonKnot = radio(windGroup, windRow, "RadioButtonKnot", QStringLiteral("knot"));
    auto *tempRow = new QHBoxLayout;
    auto *tempGroup = new QWidget(units);
    tempGroup->setLayout(tempRow);
    RadioButtondegC = radio(tempGroup, tempRow, "RadioButtondegC", QStringLiteral("\u00b0C"));
    RadioButtonDegF = radio(tempGroup, tempRow, "RadioButtonDegF", QStringLiteral("\u00b0F"));
    auto *rainRow = new QHBoxLayout;
    auto *rainGroup = new QWidget(units);
    rainGroup->setLayout(rainRow);
    RadioButtonMM = radio(rainGroup, rainRow, "RadioButtonMM", QStringLiteral("mm"));
    RadioButtonInch = radio(rainGroup, rainRow, "RadioButtonInch", QStringLiteral("inch"));
    unitRows->addWidget(windGroup);
    unitRows->addWidget(tempGroup);
    unitRows->addWidget(rainGroup);
    RadioButtonMile->setChecked(true);
    RadioButtonDegF->setChecked(true);
    RadioButtonInch->setChecked(true);
    for (QRadioButton *b : {RadioButtonKM, RadioButtonMile, RadioButtonKnot, RadioButtondegC, RadioButtonDegF,
                            RadioButtonMM, RadioButtonInch}) {
        connect(b, &QRadioButton::clicked, this, [this] {
            if (!m_busy)
                ButtonRafraichirClick();
        });
    }
    root->insertWidget(root->count() - 2, units);

    ButtonLogin = new QPushButton(QStringLiteral("Login ") + kServiceHost, this);
    ButtonLogin->setObjectName(QStringLiteral("ButtonLogin"));
    root->insertWidget(root->count() - 2, ButtonLogin);
    connect(ButtonLogin, &QPushButton::clicked, this, &TFormMeteoAPRS::ButtonLoginClick);

    WebBrowser1 = new LoginBrowser(context.prompts, this);
    WebBrowser1->hide();
    root->addWidget(WebBrowser1, 1);
    GroupBoxIDPW = new QGroupBox(QStringLiteral("aprs login ID + PW  (for memory)"), this);
    GroupBoxIDPW->setObjectName(QStringLiteral("GroupBoxIDPW"));
    auto *idRow = new QHBoxLayout(GroupBoxIDPW);
    EditID = new QLineEdit(GroupBoxIDPW);
    EditID->setObjectName(QStringLiteral("EditID"));
    EditPW = new QLineEdit(GroupBoxIDPW);
    EditPW->setObjectName(QStringLiteral("EditPW"));
    EditPW->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    idRow->addWidget(EditID);
    idRow->addWidget(EditPW);
    GroupBoxIDPW->hide();
    root->addWidget(GroupBoxIDPW);

    EditDat->installEventFilter(this);
    connect(ButtonParcourir, &QPushButton::clicked, this, &TFormMeteoAPRS::ButtonParcourirClick);
}

TFormMeteoAPRS::~TFormMeteoAPRS() = default;

QRadioButton *TFormMeteoAPRS::unitButton(const char *name) const
{
    return findChild<QRadioButton *>(QLatin1String(name));
}

bool TFormMeteoAPRS::eventFilter(QObject *watched, QEvent *event)
{
    // Any key in the entry first closes the login browser.
    if (watched == EditDat && event->type() == QEvent::KeyPress)
        hideBrowser();
    return InternetSourceWindow::eventFilter(watched, event);
}

void TFormMeteoAPRS::hideBrowser()
{
    WebBrowser1->stop();
    if (m_browserHidden)
        return;
    WebBrowser1->hide();
    GroupBoxIDPW->hide();
    m_browserHidden = true;
    if (m_savedHeight > 0) {
        // The layout lets go of the browser's room first, or the window stays tall.
        layout()->invalidate();
        layout()->activate();
        resize(width(), m_savedHeight);
    }
}

void TFormMeteoAPRS::ButtonLoginClick()
{
    if (m_browserHidden)
        ShowLoginPage();
    else
        hideBrowser();
}

void TFormMeteoAPRS::ShowLoginPage()
{
    if (!m_browserHidden)
        return;
    QFile::remove(kCacheFile);
    if (!LoginBrowser::embedded()) {
        WebBrowser1->navigate(loginAddress()); // in the desktop's browser
        return;
    }
    m_savedHeight = height();
    WebBrowser1->show();
    GroupBoxIDPW->show();
    m_browserHidden = false;
    resize(width(), m_savedHeight + WebBrowser1->minimumHeight() + 20);
    WebBrowser1->navigate(loginAddress());
}

void TFormMeteoAPRS::resetCaptions()
{
    const UnitSettings &u = *context().units;
    const struct
    {
        WeatherItem item;
        QString text;
    } captions[] = {
        {WeatherItem::OutdoorTemp, QStringLiteral("Outdoor T (\u00b0%1) = ").arg(u.temperatureLabel)},
        {WeatherItem::Pressure, QStringLiteral("Atm. P (%1) = ").arg(u.pressureLabel)},
        {WeatherItem::WindSpeed, QStringLiteral("Wind (%1) = ").arg(u.windLabel)},
        {WeatherItem::WindGust, QStringLiteral("Gust (%1) = ").arg(u.windLabel)},
        {WeatherItem::WindDirection, QStringLiteral("Direction (\u00b0) = ")},
        {WeatherItem::OutdoorHumidity, QStringLiteral("Humidity (%) =")},
        {WeatherItem::Rain24h, QStringLiteral("Rain/24h (%1) =").arg(u.rainLabel)},
    };
    for (const auto &c : captions) {
        itemBox(c.item)->setText(c.text);
        if (c.item == WeatherItem::OutdoorTemp || c.item == WeatherItem::Pressure || c.item == WeatherItem::WindSpeed
            || c.item == WeatherItem::WindGust)
            markPlausible(itemBox(c.item), true);
    }
    Editdatemeteo->clear();
}

void TFormMeteoAPRS::FetchAprs(const QString &entry, const QString &destination)
{
    QCoreApplication::processEvents();
    setErrorNumber(AprsError::None);
    // The label after " //" is not part of the address.
    const qsizetype cut = entry.indexOf(QLatin1String(" //"));
    const QString address = cut < 0 ? entry : entry.left(cut);
    const QString target = destination.isEmpty() ? address.section(QLatin1Char('/'), -1) : destination;
    // The old page must not stand in for the new one if this download fails.
    QFile::remove(target);
    // Only shown, as in the METAR window: the last reading stays in use
    // until the download's outcome replaces it.
    showProgress(QStringLiteral("Downloading"));
    const DownloadResult result = DownloadFile(address, target);
    showProgress(QString());
    if (!result) {
        setErrorNumber(AprsError::Download);
        armTimer();
        return;
    }
    setErrorNumber(checkAprsDownload(target));
    if (errorNumber() == AprsError::CacheWrite)
        tell(QStringLiteral("Can't create aprs_web.txt"));
}

void TFormMeteoAPRS::EnterAction()
{
    hideBrowser();
    const QString entry = EditDat->text();
    if (entry.isEmpty())
        return;
    if (OutsideFile::probe(entry) == OutsideFile::Status::Ok) {
        setErrorLine(QString());
        resetCaptions();
        setReportPath(entry);
        AddToHistory(entry);
        if (!m_busy)
            ButtonRafraichirClick();
        return;
    }
    if (isAddress(entry)) {
        setErrorNumber(AprsError::None);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        FetchAprs(entry, kCacheFile);
        QApplication::restoreOverrideCursor();
        if (errorNumber() == AprsError::None) {
            source().setStatus(QString());
            setErrorLine(QString());
            resetCaptions();
            setReportPath(kCacheFile);
            AddToHistory(entry);
            if (!m_fetchFromTimer && !m_busy)
                ButtonRafraichirClick();
            return;
        }
    }
    if (errorNumber() != AprsError::None) {
        showErrorNumber();
        if (errorNumber() == AprsError::NoRawLine && entry.contains(kServiceHost)) {
            // What a station without a screen can say of it: only the desktop
            // program has the login browser.
            source().setStatus(QStringLiteral("%1 needs a login: log in with the login browser of the desktop "
                                              "program (Login button), then refresh")
                                   .arg(kServiceHost));
            tell(QStringLiteral("Please verify the address. If you are not logged in to %1, log in with the "
                                "Login button, then click Refresh.")
                     .arg(kServiceHost));
        }
    } else {
        setErrorLine(QString());
    }
    armTimer();
}

void TFormMeteoAPRS::ButtonParcourirClick()
{
    setErrorLine(QString());
    if (!context().prompts)
        return;
    const QString chosen =
        context().prompts->openFileName(QStringLiteral("Fichiers WXNOW.TXT|*.txt"), QStringLiteral("txt"), entryText());
    if (chosen.isEmpty())
        return;
    resetCaptions();
    setReportPath(chosen);
    if (OutsideFile::probe(chosen) != OutsideFile::Status::Missing) {
        EditDat->setText(chosen);
        AddToHistory(chosen);
        EditDat->selectAll();
        if (!m_busy)
            ButtonRafraichirClick();
    } else {
        setReportPath(QString());
        EditDat->clear();
        beep();
    }
}

AprsSettings TFormMeteoAPRS::settings() const
{
    AprsSettings s;
    s.units = *context().units;
    if (context().limits)
        s.limits = *context().limits;
    s.pressureOffset = SpinEditOffSetPression->value();
    s.rawTemperature = RadioButtondegC->isChecked() ? AprsTemperatureUnit::Celsius : AprsTemperatureUnit::Fahrenheit;
    s.rawWind = RadioButtonKM->isChecked()     ? AprsWindUnit::Kmh
                : RadioButtonKnot->isChecked() ? AprsWindUnit::Knot
                                               : AprsWindUnit::Mph;
    s.rawRain = RadioButtonMM->isChecked() ? AprsRainUnit::Millimetre : AprsRainUnit::HundredthsOfInch;
    s.timeBase = ComboBoxTU->currentIndex() == 1 ? AprsTimeBase::Local : AprsTimeBase::Universal;
    const QDateTime now = context().clock.now();
    s.timeZoneBiasMinutes = DateTimeUtil::timeZoneBiasMinutes(now);
    return s;
}

void TFormMeteoAPRS::takeReading()
{
    TimerMeteo->stop();
    const bool address = isAddress(EditDat->text());
    // While the user logs in, an address is neither fetched nor decoded.
    if (address && !m_browserHidden) {
        armTimer();
        return;
    }
    if (address) {
        m_fetchFromTimer = true;
        EnterAction();
        m_fetchFromTimer = false;
    }
    const AprsSettings s = settings();
    const QString path = reportPath();
    const AprsReading r = (path.isEmpty() || OutsideFile::probe(path) == OutsideFile::Status::Missing) ? decodeMissingAprs(s, snapshot())
                                                                     : decodeAprsFile(path, s, snapshot());
    for (WeatherItem item : {WeatherItem::OutdoorTemp, WeatherItem::Pressure, WeatherItem::WindSpeed,
                             WeatherItem::WindGust, WeatherItem::WindDirection, WeatherItem::WindChill,
                             WeatherItem::Rain24h, WeatherItem::OutdoorHumidity})
        markPlausible(itemBox(item), true);
    if (!r.pressureAdjustUnit.isEmpty())
        Label6->setText(r.pressureAdjustUnit);
    if (r.outcome == AprsOutcome::NoLine) {
        armTimer();
        return;
    }
    if (r.outcome == AprsOutcome::Decoded) {
        showDisplay(r.display);
        if (r.switchToLocalTime)
            ComboBoxTU->setCurrentIndex(1);
    }
    if (r.date)
        Editdatemeteo->setText(*r.date);
    if (r.summary)
        writeExchangeFileTwice(QStringLiteral("aprs_cw.txt"), aprsSummaryFile(*r.summary),
                               QStringLiteral("Ne peut creer aprs_cw.txt"), QStringLiteral("Ne peut creer aprs_cw.txt"),
                               true);
    armTimer();
}

void TFormMeteoAPRS::showEvent(QShowEvent *event)
{
    InternetSourceWindow::showEvent(event);
    hideBrowser();
    m_savedHeight = height();
}

void TFormMeteoAPRS::closeEvent(QCloseEvent *event)
{
    hideBrowser();
    InternetSourceWindow::closeEvent(event);
}

void TFormMeteoAPRS::declareLeadingKeys(ConfigRegistry &registry, int section)
{
    auto flag = [&](int position, const QString &key, QRadioButton *on, bool always, QRadioButton *off) {
        ConfigKey k;
        k.section = section;
        k.position = position;
        k.key = key;
        k.save = [key, on, always] {
            if (on->isChecked())
                return QStringList{key + QLatin1Char('Y')};
            return always ? QStringList{key + QLatin1Char('N')} : QStringList();
        };
        k.load = [on, off](const QString &, const QString &value) {
            if (value == QLatin1String("Y"))
                on->setChecked(true);
            else if (off)
                off->setChecked(true);
        };
        registry.add(k);
    };
    flag(150, QStringLiteral("APRS_KM="), RadioButtonKM, false, nullptr);
    flag(160, QStringLiteral("APRS_KNOT="), RadioButtonKnot, false, nullptr);
    flag(170, QStringLiteral("APRS_DGF="), RadioButtonDegF, true, RadioButtondegC);
    flag(180, QStringLiteral("APRS_INC="), RadioButtonInch, true, RadioButtonMM);
}

void TFormMeteoAPRS::declareTrailingKeys(ConfigRegistry &registry, int section)
{
    auto text = [&](int position, const QString &key, QLineEdit *edit) {
        ConfigKey k;
        k.section = section;
        k.position = position;
        k.key = key;
        k.save = [key, edit] { return edit->text().isEmpty() ? QStringList() : QStringList{key + edit->text()}; };
        k.load = [edit](const QString &, const QString &value) { edit->setText(value); };
        registry.add(k);
    };
    text(260, QStringLiteral("APRS_ID="), EditID);
    text(270, QStringLiteral("APRS_PW="), EditPW);
}

} // namespace auravox
