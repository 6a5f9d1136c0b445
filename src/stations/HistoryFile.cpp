#include "stations/HistoryFile.h"

#include <algorithm>

namespace auravox {

bool HistoryFile::open(const QString &path)
{
    m_file.close();
    m_blockFirst = -1;
    m_block.clear();
    m_count = 0;
    m_openStatus = m_file.open(path);
    if (m_openStatus != OutsideFile::Status::Ok)
        return false;
    const qint64 body = m_file.size() - m_headerSize;
    m_count = body > 0 ? body / m_recordSize : 0;
    return true;
}

void HistoryFile::limitCount(qint64 n)
{
    m_count = std::clamp<qint64>(n, 0, m_count);
}

QByteArray HistoryFile::header()
{
    QByteArray bytes;
    if (!m_file.readAt(0, m_headerSize, &bytes))
        return QByteArray();
    return bytes.size() == m_headerSize ? bytes : QByteArray();
}

QByteArray HistoryFile::record(qint64 index)
{
    if (index < 0 || index >= m_count)
        return QByteArray();
    const qint64 inBlock = m_block.size() / m_recordSize;
    if (m_blockFirst < 0 || index < m_blockFirst || index >= m_blockFirst + inBlock) {
        // Records already written never change: the station only appends.
        const qint64 first = std::max<qint64>(0, index - (kBlockRecords - 1));
        const qint64 n = std::min<qint64>(kBlockRecords, m_count - first);
        m_blockFirst = -1;
        if (!m_file.readAt(m_headerSize + first * m_recordSize, n * m_recordSize, &m_block))
            return QByteArray();
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
