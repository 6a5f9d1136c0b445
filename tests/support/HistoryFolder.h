#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace auravox::test {

// A temporary folder with a "history.dat" of records (Ws23Row, Ws28Row).
template <typename Row> struct HistoryFolder
{
    // Writes the records, then `tail` (a record the station is still writing).
    QString write(const std::vector<Row> &records, const QByteArray &tail = {})
    {
        QByteArray all;
        for (const Row &r : records)
            all += r.bytes();
        const QString path = dir.filePath(QStringLiteral("history.dat"));
        QFile file(path);
        const QByteArray bytes = all + tail;
        const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
        EXPECT_TRUE(written) << path.toStdString();
        return path;
    }
    QTemporaryDir dir;
};

} // namespace auravox::test
