#include "internet/ui/TFormMeteoAPRS.h"

#include "internet/ui/LoginBrowser.h"
#include "platform/UserPrompts.h"

#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <functional>
#include <utility>

namespace auravox {

namespace {
InternetSourceWindow::Layout aprsLayout()
{
    InternetSourceWindow::Layout l;
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

TFormMeteoAPRS::TFormMeteoAPRS(AprsSource &source, const SourceWindowContext &context, QWidget *parent)
    : InternetSourceWindow(source, aprsLayout(), context, parent), m_aprs(source)
{
    setObjectName(QStringLiteral("FormMeteoAPRS"));
    auto *root = static_cast<QVBoxLayout *>(layout());
    buildUnits();

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
    EditID = new QLineEdit(source.loginId(), GroupBoxIDPW);
    EditID->setObjectName(QStringLiteral("EditID"));
    EditPW = new QLineEdit(source.loginPassword(), GroupBoxIDPW);
    EditPW->setObjectName(QStringLiteral("EditPW"));
    EditPW->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    idRow->addWidget(EditID);
    idRow->addWidget(EditPW);
    GroupBoxIDPW->hide();
    root->addWidget(GroupBoxIDPW);

    EditDat->installEventFilter(this);
    connect(ButtonParcourir, &QPushButton::clicked, this, &TFormMeteoAPRS::ButtonParcourirClick);
    bindUnits();
    // The map service showed no raw packet: the message box of the login hint.
    connect(&source, &AprsSource::loginBrowserNeeded, this, [this] { tell(AprsSource::loginHint()); });
}

void TFormMeteoAPRS::buildUnits()
{
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
    root->insertWidget(root->count() - 2, units);
}

void TFormMeteoAPRS::showUnits()
{
    const AprsWindUnit wind = m_aprs.rawWind();
    (wind == AprsWindUnit::Kmh    ? RadioButtonKM
     : wind == AprsWindUnit::Knot ? RadioButtonKnot
                                  : RadioButtonMile)
        ->setChecked(true);
    (m_aprs.rawTemperature() == AprsTemperatureUnit::Celsius ? RadioButtondegC : RadioButtonDegF)->setChecked(true);
    (m_aprs.rawRain() == AprsRainUnit::Millimetre ? RadioButtonMM : RadioButtonInch)->setChecked(true);
    if (EditID->text() != m_aprs.loginId())
        EditID->setText(m_aprs.loginId());
    if (EditPW->text() != m_aprs.loginPassword())
        EditPW->setText(m_aprs.loginPassword());
}

void TFormMeteoAPRS::bindUnits()
{
    showUnits();
    connect(&m_aprs, &WeatherSource::settingsChanged, this, &TFormMeteoAPRS::showUnits);
    const std::pair<QRadioButton *, std::function<void()>> choices[] = {
        {RadioButtonKM, [this] { m_aprs.setRawWind(AprsWindUnit::Kmh); }},
        {RadioButtonMile, [this] { m_aprs.setRawWind(AprsWindUnit::Mph); }},
        {RadioButtonKnot, [this] { m_aprs.setRawWind(AprsWindUnit::Knot); }},
        {RadioButtondegC, [this] { m_aprs.setRawTemperature(AprsTemperatureUnit::Celsius); }},
        {RadioButtonDegF, [this] { m_aprs.setRawTemperature(AprsTemperatureUnit::Fahrenheit); }},
        {RadioButtonMM, [this] { m_aprs.setRawRain(AprsRainUnit::Millimetre); }},
        {RadioButtonInch, [this] { m_aprs.setRawRain(AprsRainUnit::HundredthsOfInch); }},
    };
    for (const auto &choice : choices) {
        // Any click reads the report again in the new unit.
        connect(choice.first, &QRadioButton::clicked, this, [this, set = choice.second] {
            set();
            if (!m_busy)
                ButtonRafraichirClick();
        });
    }
    connect(EditID, &QLineEdit::textChanged, &m_aprs, &AprsSource::setLoginId);
    connect(EditPW, &QLineEdit::textChanged, &m_aprs, &AprsSource::setLoginPassword);
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
    m_aprs.setLoginShown(false);
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
    m_aprs.setLoginShown(true);
    resize(width(), m_savedHeight + WebBrowser1->minimumHeight() + 20);
    WebBrowser1->navigate(loginAddress());
}

void TFormMeteoAPRS::EnterAction()
{
    hideBrowser();
    m_aprs.enterAction();
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
    if (m_aprs.chooseFile(chosen))
        EditDat->selectAll();
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

} // namespace auravox
