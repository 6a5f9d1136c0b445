#pragma once

#include "common/OutsideFile.h"

#include <QByteArray>
#include <QString>

namespace auravox {

// A station's history file of fixed-size records, oldest first (after an
// optional header), read record by record so that a refresh costs the same
// whatever the file's size. The file is opened read-only and never locked, so
// the station's program can go on appending; a record it is writing at that
// moment (a partial record at the end) is not counted. Only a regular file is
// read (a named pipe or a device fails the open), and no read holds the
// caller longer than OutsideFile's bound (a hung network share fails it).
class HistoryFile
{
public:
    // Records are read in blocks that end at the one asked for, since readings
    // walk back from the newest record.
    static constexpr int kBlockRecords = 256;

    HistoryFile(int recordSize, qint64 headerSize = 0) : m_recordSize(recordSize), m_headerSize(headerSize) {}

    bool open(const QString &path);
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }
    // Why the last open failed.
    OutsideFile::Status openStatus() const { return m_openStatus; }

    // Whole records in the file when it was opened (records appended during a
    // reading belong to the next one).
    qint64 count() const { return m_count; }
    // Counts no record past the first `n` (a header that says how many follow).
    void limitCount(qint64 n);
    // The header; an empty array when the file is shorter.
    QByteArray header();
    // Record `index` (0 = oldest); an empty array when it can't be read.
    QByteArray record(qint64 index);
    // Record `index` decoded by Record::decode; false when it can't be read.
    template <typename Record> bool decoded(qint64 index, Record *out)
    {
        const QByteArray bytes = record(index);
        if (bytes.isEmpty())
            return false;
        *out = Record::decode(bytes);
        return true;
    }

private:
    int m_recordSize;
    qint64 m_headerSize;
    qint64 m_count = 0;
    OutsideFile m_file;
    OutsideFile::Status m_openStatus = OutsideFile::Status::Missing;
    qint64 m_blockFirst = -1; // index of the first record in m_block
    QByteArray m_block;
};

} // namespace auravox
