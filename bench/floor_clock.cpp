// The floor for any program that shows a ticking clock: one label that a 1 s
// timer sets to the current time, on whatever platform Qt is given (the bench
// runs it offscreen, as Auravox runs on a headless box). bench/idle_vs_floor.sh
// runs it beside Auravox and compares what each costs while it waits.

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel label;
    label.setObjectName(QStringLiteral("EditTime"));
    label.resize(160, 24);
    auto show = [&label] {
        label.setText(QLocale::system().toString(QDateTime::currentDateTime().time(), QLocale::LongFormat));
    };
    show();
    label.show();
    QTimer timer;
    timer.setInterval(1000);
    QObject::connect(&timer, &QTimer::timeout, &label, show);
    timer.start();
    return QApplication::exec();
}
