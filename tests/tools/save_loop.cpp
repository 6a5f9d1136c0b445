// Saves two configurations in turn until killed, printing "." after each save
// (the durability test kills it at random moments).

#include "common/TextFile.h"

#include <QDir>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QStringList a, b;
    for (int i = 0; i < 3000; ++i) {
        a << QStringLiteral("KEY%1=first value of the line %1").arg(i);
        b << QStringLiteral("KEY%1=second").arg(i);
    }
    for (unsigned n = 0;; ++n) {
        if (!auravox::TextFile::writeLinesAtomically(dir.filePath(QStringLiteral("auravox.ini")),
                                                     dir.filePath(QStringLiteral("auravox.~in")), n % 2 ? a : b, 0400))
            return 1;
        std::fputc('.', stdout);
        std::fflush(stdout);
    }
}
