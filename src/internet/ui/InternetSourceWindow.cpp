#include "internet/ui/InternetSourceWindow.h"

#include "common/Log.h"
#include "platform/UserPrompts.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>

namespace auravox {

InternetSourceWindow::InternetSourceWindow(InternetSource &source, const Layout &layout,
                                           const SourceWindowContext &context, QWidget *parent)
    : WeatherSourceWindow(source, true, context, parent), m_internet(source)
{
    unbindEntryFromPath();
    auto *root = static_cast<QVBoxLayout *>(this->layout());
    LabelHistoryFile->setText(layout.entryLabel);
    ButtonParcourir->setVisible(layout.browse);
    if (QLabel *date = findChild<QLabel *>(QStringLiteral("LabelDate")))
        date->setText(layout.dateLabel);

    ComboBoxPath = new QComboBox(this);
    ComboBoxPath->setObjectName(QStringLiteral("ComboBoxPath"));
    ComboBoxPath->setMaxVisibleItems(kHistorySize);
    root->insertWidget(1, ComboBoxPath);

    auto *extra = new QGridLayout;
    LabelTros = new QLabel(QStringLiteral("Dew point (\u00b0C) = "), this);
    LabelTros->setObjectName(QStringLiteral("LabelTros"));
    extra->addWidget(LabelTros, 0, 0, 1, 3);
    Label5 = new QLabel(QStringLiteral("Pressure adjust"), this);
    SpinEditOffSetPression = new QSpinBox(this);
    SpinEditOffSetPression->setObjectName(QStringLiteral("SpinEditOffSetPression"));
    SpinEditOffSetPression->setRange(INT_MIN + 1, INT_MAX); // no limits
    Label6 = new QLabel(QStringLiteral("mBars"), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    extra->addWidget(Label5, 1, 0);
    extra->addWidget(SpinEditOffSetPression, 1, 1);
    extra->addWidget(Label6, 1, 2);
    ComboBoxTU = new QComboBox(this);
    ComboBoxTU->setObjectName(QStringLiteral("ComboBoxTU"));
    ComboBoxTU->addItems(layout.timeBases);
    extra->addWidget(ComboBoxTU, 2, 0);
    ButtonFav = new QPushButton(QStringLiteral("Favourites"), this);
    ButtonFav->setObjectName(QStringLiteral("ButtonFav"));
    extra->addWidget(ButtonFav, 2, 1);
    SpeedButtonMenuAide = new QToolButton(this);
    SpeedButtonMenuAide->setObjectName(QStringLiteral("SpeedButtonMenuAide"));
    SpeedButtonMenuAide->setText(QStringLiteral("?"));
    extra->addWidget(SpeedButtonMenuAide, 2, 2);
    root->insertLayout(root->count() - 2, extra); // above the refresh row and the error line

    QFont bold = StaticTextErreur->font();
    bold.setBold(true);
    bold.setItalic(true);
    StaticTextErreur->setFont(bold);

    connect(EditDat, &QLineEdit::returnPressed, this, [this] {
        if (!EditDat->text().isEmpty())
            EnterAction();
    });
    connect(ComboBoxPath, &QComboBox::activated, this, &InternetSourceWindow::ComboBoxPathChange);
    connect(ButtonFav, &QPushButton::clicked, this, [this] {
        if (m_favourites) {
            m_favourites->show();
            m_favourites->raise();
        }
    });
    connect(SpeedButtonMenuAide, &QToolButton::clicked, this, [this] {
        if (this->context().showHelp)
            this->context().showHelp();
    });
    bindInternetSource();
}

InternetSourceWindow::~InternetSourceWindow()
{
    // The source may outlive its window: its messages go nowhere then.
    m_internet.setMessageHandler({});
}

void InternetSourceWindow::bindInternetSource()
{
    InternetSource &s = m_internet;
    // What a message box says, the desktop program shows in one.
    s.setMessageHandler([this](const QString &text) {
        if (this->context().prompts)
            this->context().prompts->message(text);
    });
    EditDat->setText(s.entry());
    connect(EditDat, &QLineEdit::textChanged, &s, &InternetSource::setEntry);
    connect(&s, &InternetSource::entryChanged, this, [this](const QString &text) {
        if (EditDat->text() != text)
            EditDat->setText(text);
    });
    connect(&s, &InternetSource::historyChanged, this, &InternetSourceWindow::showHistory);
    connect(SpinEditOffSetPression, &QSpinBox::valueChanged, &s, &InternetSource::setPressureOffset);
    connect(ComboBoxTU, &QComboBox::currentIndexChanged, &s, &InternetSource::setTimeBase);
    connect(&s, &WeatherSource::settingsChanged, this, [this] {
        SpinEditOffSetPression->setValue(m_internet.pressureOffset());
        ComboBoxTU->setCurrentIndex(qBound(0, m_internet.timeBase(), ComboBoxTU->count() - 1));
        showHistory();
    });
}

void InternetSourceWindow::showHistory()
{
    // The rows are the source's history; the entry's row is the selected one.
    const QStringList rows = m_internet.history();
    QStringList shown;
    for (int i = 0; i < ComboBoxPath->count(); ++i)
        shown << ComboBoxPath->itemText(i);
    if (shown != rows) {
        ComboBoxPath->clear();
        ComboBoxPath->addItems(rows);
    }
    ComboBoxPath->setCurrentIndex(static_cast<int>(rows.lastIndexOf(m_internet.entry())));
}

QString InternetSourceWindow::entryText() const
{
    return EditDat->text();
}

void InternetSourceWindow::setEntryText(const QString &text)
{
    EditDat->setText(text);
}

void InternetSourceWindow::tell(const QString &text)
{
    qCWarning(lcSource).noquote() << windowTitle().trimmed() << "says:" << text;
    if (context().prompts)
        context().prompts->message(text);
}

void InternetSourceWindow::selectSource(bool showWindow)
{
    // One reading now: for an address the cycle downloads the page first.
    if (m_favourites)
        m_favourites->hide();
    m_internet.select();
    if (showWindow)
        show();
}

void InternetSourceWindow::EnterAction()
{
    EditDat->selectAll();
    m_internet.enterAction();
}

void InternetSourceWindow::ButtonRafraichirClick()
{
    const bool wasBusy = m_busy;
    m_busy = true;
    beforeRefresh();
    if (m_favourites)
        m_favourites->hide();
    m_internet.refresh();
    m_busy = wasBusy;
}

void InternetSourceWindow::ComboBoxPathChange(int index)
{
    const QString row = ComboBoxPath->itemText(index);
    if (!EditDat->text().isEmpty())
        EditDat->selectAll();
    if (EditDat->text() == row)
        return;
    EditDat->setText(row);
    EditDat->selectAll();
    if (!m_busy)
        ButtonRafraichirClick();
    EnterAction();
}

void InternetSourceWindow::closeEvent(QCloseEvent *event)
{
    if (m_favourites)
        m_favourites->close();
    WeatherSourceWindow::closeEvent(event);
}

// ---- favourites

TFormFav::TFormFav(const QString &title, const QString &keyPrefix, InternetSourceWindow &source, QWidget *parent)
    : QWidget(parent, Qt::Window), m_model(keyPrefix), m_source(source)
{
    setWindowTitle(title);
    auto *root = new QVBoxLayout(this);
    root->addWidget(new QLabel(QStringLiteral("Click the button in front of the link to open it"), this));
    auto *grid = new QGridLayout;
    for (int n = 1; n <= kCount; ++n) {
        auto *button = new QPushButton(QStringLiteral("F%1").arg(n), this);
        button->setObjectName(QStringLiteral("Button%1").arg(n));
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Edit%1").arg(n));
        m_fields[static_cast<size_t>(n - 1)] = edit;
        grid->addWidget(button, n - 1, 0);
        grid->addWidget(edit, n - 1, 1);
        connect(button, &QPushButton::clicked, this, [this, n] { ButtonClick(n); });
        connect(edit, &QLineEdit::textChanged, this, [this, n](const QString &text) { m_model.setEntry(n, text); });
    }
    connect(&m_model, &Favourites::entryChanged, this, [this](int n, const QString &text) {
        if (field(n)->text() != text)
            field(n)->setText(text);
    });
    root->addLayout(grid);
    resize(420, sizeHint().height());
}

void TFormFav::ButtonClick(int n)
{
    const QString text = m_model.entry(n);
    if (text.isEmpty() || !m_source.isVisible())
        return;
    m_source.setEntryText(text);
    m_source.ButtonRafraichirClick();
}

void TFormFav::showEvent(QShowEvent *event)
{
    for (QLineEdit *edit : m_fields) {
        if (!edit->text().isEmpty())
            edit->selectAll();
    }
    QWidget::showEvent(event);
}

} // namespace auravox
