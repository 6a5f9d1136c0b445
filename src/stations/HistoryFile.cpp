#include "stations/HistoryFile.h"

#include <algorithm>

namespace auravox {

bool HistoryFile::open(const QString &path)
{
    m_file.close();
    m_blockFirst = -1;
    m_block.clear();
    m_file.setFileName(path);
    // Unbuffered: a reading jumps between a few records far apart, and a
    // buffer would read (and throw away) kilobytes around each of them.
    return m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 HistoryFile::count() const
{
    const qint64 body = m_file.size() - m_headerSize;
    return body > 0 ? body / m_recordSize : 0;
}

QByteArray HistoryFile::record(qint64 index)
{
    const qint64 records = count();
    if (index < 0 || index >= records)
        return QByteArray();
    const qint64 inBlock = m_block.size() / m_recordSize;
    if (m_blockFirst < 0 || index < m_blockFirst || index >= m_blockFirst + inBlock) {
        // Records already written never change: the station only appends.
        const qint64 first = std::max<qint64>(0, index - (kBlockRecords - 1));
        const qint64 n = std::min<qint64>(kBlockRecords, records - first);
        m_blockFirst = -1;
        if (!m_file.seek(m_headerSize + first * m_recordSize))
            return QByteArray();
        m_block = m_file.read(n * m_recordSize);
        m_block.truncate(m_block.size() - m_block.size() % m_recordSize);
        if (m_block.isEmpty())
            return QByteArray();
        m_blockFirst = first;
        if (index >= first + m_block.size() / m_recordSize)
            return QByteArray(); // the file got shorter under us
    }
    return m_block.mid((index - m_blockFirst) * m_recordSize, m_recordSize);
}

} // namespace auravox
