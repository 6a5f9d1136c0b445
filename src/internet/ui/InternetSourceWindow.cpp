#include "internet/ui/InternetSourceWindow.h"

#include "common/ConfigKeys.h"
#include "common/ConfigRegistry.h"
#include "common/Log.h"
#include "common/OutsideFile.h"
#include "platform/UserPrompts.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
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
#include <cstdio>

namespace auravox {

InternetSourceWindow::InternetSourceWindow(const Layout &layout, const SourceWindowContext &context, QWidget *parent)
    : WeatherSourceWindow(layout.kind, layout.title, layout.prefix, true, context, parent), m_layout(layout)
{
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
}

QString InternetSourceWindow::entryText() const
{
    return EditDat->text();
}

void InternetSourceWindow::setEntryText(const QString &text)
{
    EditDat->setText(text);
}

bool InternetSourceWindow::isAddress(const QString &text) const
{
    return text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://"));
}

bool InternetSourceWindow::loadingConfiguration() const
{
    return context().loadingConfiguration && context().loadingConfiguration();
}

void InternetSourceWindow::showErrorNumber()
{
    setErrorLine(QStringLiteral("File error #") + QString::number(m_errorNumber));
}

void InternetSourceWindow::armTimer()
{
    if (!TimerMeteo->isActive())
        TimerMeteo->start();
}

void InternetSourceWindow::beep()
{
    if (context().prompts)
        context().prompts->beep();
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
    TimerMeteo->setInterval(SpinEditRafraichir->value() * 60000);
    if (loadingConfiguration() && isAddress(EditDat->text()) && context().afterLoad) {
        // The configuration load holds the clock: the first download waits
        // until the load is over, so a slow or silent server never delays an
        // announcement.
        context().afterLoad([this] { TimerMeteoTimer(); });
    } else {
        TimerMeteoTimer();
    }
    if (showWindow)
        show();
}

void InternetSourceWindow::ButtonRafraichirClick()
{
    const bool wasBusy = m_busy;
    m_busy = true;
    beforeRefresh();
    if (m_favourites)
        m_favourites->hide();
    if (EditDat->text() != ComboBoxPath->currentText())
        AddToHistory(EditDat->text());
    TimerMeteo->setInterval(SpinEditRafraichir->value() * 60000);
    if (!loadingConfiguration())
        TimerMeteoTimer();
    m_busy = wasBusy;
}

void InternetSourceWindow::AddToHistory(const QString &text)
{
    if (text.isEmpty())
        return;
    ComboBoxPath->setCurrentIndex(-1);
    int selected = -1;
    for (int i = ComboBoxPath->count() - 1; i >= 0; --i) {
        if (ComboBoxPath->itemText(i) == text) {
            selected = i;
            break;
        }
    }
    if (selected < 0 && ComboBoxPath->count() < kHistorySize) {
        ComboBoxPath->addItem(text);
        selected = ComboBoxPath->count() - 1;
    }
    if (selected < 0) {
        // Full: the new one comes first and the tenth goes.
        ComboBoxPath->removeItem(kHistorySize - 1);
        ComboBoxPath->insertItem(0, text);
        selected = 0;
    }
    ComboBoxPath->setCurrentIndex(selected);
}

QStringList InternetSourceWindow::history() const
{
    QStringList list;
    for (int i = 0; i < ComboBoxPath->count(); ++i)
        list << ComboBoxPath->itemText(i);
    return list;
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

void InternetSourceWindow::writeExchangeFile(const QString &path, const QByteArray &bytes, const QString &failure)
{
    // Written beside and renamed over the old one, so a reader never sees half
    // a file. Not synced to the disk: the file is made again every refresh.
    const QString temp = path + QStringLiteral(".part");
    QFile file(temp);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    file.close();
    ok = ok && ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        QFile::remove(temp);
        tell(failure);
    }
}

void InternetSourceWindow::writeExchangeFileTwice(const QString &name, const QByteArray &bytes,
                                                  const QString &failurePublic, const QString &failureLocal,
                                                  bool publicFirst)
{
    const QString publicFolder = context().publicFolder;
    auto toPublic = [&] {
        if (!publicFolder.isEmpty())
            writeExchangeFile(QDir(publicFolder).filePath(name), bytes, failurePublic);
    };
    if (publicFirst)
        toPublic();
    writeExchangeFile(name, bytes, failureLocal);
    if (!publicFirst)
        toPublic();
}

void InternetSourceWindow::closeEvent(QCloseEvent *event)
{
    if (m_favourites)
        m_favourites->close();
    WeatherSourceWindow::closeEvent(event);
}

void InternetSourceWindow::declareConfig(ConfigRegistry &registry, int section)
{
    declareItemKeys(registry, section);
    declareLeadingKeys(registry, section);
    const QString &p = m_layout.prefix;
    auto intKey = [&](int position, const QString &key, std::function<int()> get, std::function<void(int)> set) {
        registry.add(ConfigKeys::number(section, position, key, std::move(get), std::move(set)));
    };
    intKey(
        200, p + QStringLiteral("METPERI="), [this] { return SpinEditRafraichir->value(); },
        [this](int v) { SpinEditRafraichir->setValue(v); });

    ConfigKey dat;
    dat.section = section;
    dat.position = 210;
    dat.key = p + QStringLiteral("DAT=");
    dat.save = [this, key = dat.key] {
        return EditDat->text().isEmpty() ? QStringList() : QStringList{key + EditDat->text()};
    };
    dat.load = [this](const QString &, const QString &value) {
        if (value.isEmpty())
            return;
        if (OutsideFile::probe(value) != OutsideFile::Status::Missing) {
            EditDat->setText(value);
            m_dataPath = value;
        } else if (isAddress(value)) {
            EditDat->setText(value);
        } else {
            setErrorLine(QStringLiteral("File error #6"));
        }
    };
    registry.add(dat);

    ConfigKey list;
    list.section = section;
    list.position = 220;
    list.key = p + QStringLiteral("LIST=");
    list.save = [this, key = list.key] {
        QStringList lines;
        for (const QString &entry : history())
            lines << key + entry;
        return lines;
    };
    list.load = [this](const QString &, const QString &value) {
        if (!value.isEmpty() && ComboBoxPath->count() < kHistorySize)
            ComboBoxPath->addItem(value);
    };
    registry.add(list);

    intKey(
        240, p + QStringLiteral("POFFSET="), [this] { return SpinEditOffSetPression->value(); },
        [this](int v) { SpinEditOffSetPression->setValue(v); });
    intKey(
        250, p + QStringLiteral("TU="), [this] { return ComboBoxTU->currentIndex(); },
        [this](int v) { ComboBoxTU->setCurrentIndex(qBound(0, v, ComboBoxTU->count() - 1)); });
    declareTrailingKeys(registry, section);
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
