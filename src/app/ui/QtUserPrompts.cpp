#include "app/ui/QtUserPrompts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <QFileDialog>
#include <QMessageBox>

namespace auravox {

void QtUserPrompts::beep()
{
    QApplication::beep();
}

bool QtUserPrompts::noScreen()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

void QtUserPrompts::message(const QString &text)
{
    if (noScreen()) {
        if (m_statusSink)
            m_statusSink(text);
        qInfo().noquote() << "message (no screen to show it):" << text;
        return;
    }
    QMessageBox::information(m_parent, QStringLiteral("AURAVOX"), text);
}

QString QtUserPrompts::toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '))
                       + QLatin1Char(')');
    return filters.join(QStringLiteral(";;"));
}

QString QtUserPrompts::openFileName(const QString &filter, const QString &defaultSuffix, const QString &startPath)
{
    if (noScreen())
        return {};
    QFileDialog dialog(m_parent, QString(), startPath, toQtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtUserPrompts::existingFolder(const QString &startPath)
{
    return QFileDialog::getExistingDirectory(m_parent, QString(), startPath);
}

} // namespace auravox

namespace auravox {

bool QtUserPrompts::openDocument(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

} // namespace auravox

namespace auravox {

bool QtUserPrompts::openAddress(const QString &url)
{
    return QDesktopServices::openUrl(QUrl(url));
}

} // namespace auravox
