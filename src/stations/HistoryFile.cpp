#include "stations/HistoryFile.h"

namespace auravox {

bool HistoryFile::open(const QString &path)
{
    m_file.close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::ReadOnly);
}

qint64 HistoryFile::count() const
{
    const qint64 body = m_file.size() - m_headerSize;
    return body > 0 ? body / m_recordSize : 0;
}

QByteArray HistoryFile::record(qint64 index)
{
    if (index < 0 || index >= count() || !m_file.seek(m_headerSize + index * m_recordSize))
        return QByteArray();
    QByteArray bytes = m_file.read(m_recordSize);
    return bytes.size() == m_recordSize ? bytes : QByteArray();
}

} // namespace auravox
