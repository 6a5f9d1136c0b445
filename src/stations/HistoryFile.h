#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace auravox {

// A station's history file of fixed-size records, oldest first, read record
// by record so that a refresh costs the same whatever the file's size. The file
// is opened read-only and never locked, so the station's program can go on
// appending; a record it is writing at that moment (a partial record at the
// end) is not counted.
class HistoryFile
{
public:
    HistoryFile(int recordSize, qint64 headerSize = 0) : m_recordSize(recordSize), m_headerSize(headerSize) {}

    bool open(const QString &path);
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }

    // Whole records in the file.
    qint64 count() const;
    // Record `index` (0 = oldest); an empty array when it can't be read.
    // Records are read in blocks that end at the one asked for, since readings
    // walk back from the newest record.
    QByteArray record(qint64 index);

    static constexpr int kBlockRecords = 64;

private:
    qint64 m_blockFirst = -1; // index of the first record in m_block
    QByteArray m_block;
    int m_recordSize;
    qint64 m_headerSize;
    QFile m_file;
};

} // namespace auravox
