#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace auravox {

// One HTTP/1.x request as it came in.
struct HttpRequest
{
    QByteArray method;
    QByteArray target;
    QByteArray version;                           // "HTTP/1.1" or "HTTP/1.0"
    QList<QPair<QByteArray, QByteArray>> headers; // names in lower case, as they came
    QByteArray body;
    bool keepAlive = true;
};

// Reads the requests of one connection from its bytes, strictly: a request
// whose length could be read two ways (Content-Length with chunked, two
// Content-Lengths, a Transfer-Encoding other than "chunked"), a folded or
// malformed header, a chunk size that overflows or bytes that are not HTTP
// make it fail, and the connection must then be answered and closed, since
// nothing after such a request can be told apart from the request itself.
class HttpRequestReader
{
public:
    struct Limits
    {
        qsizetype maxHead = 64 * 1024; // request line and headers (and a chunked body's trailer)
        qsizetype maxBody = 8 * 1024;
        // The body of a request to `uploadPath` (its path, before any '?')
        // may be this large instead.
        QByteArray uploadPath;
        qsizetype maxUploadBody = 0;
    };
    enum class Result { NeedMore, Ready, Failed };

    explicit HttpRequestReader(Limits limits) : m_limits(limits) {}

    void append(const QByteArray &bytes) { m_buffer += bytes; }
    // The next whole request into `request`, or what stops it.
    Result next(HttpRequest *request);
    // True once when a request asked for "100 Continue" and its body is still to come.
    bool takeContinue();
    // Some bytes of a request have arrived and it isn't whole yet.
    bool partial() const { return m_inHead ? !m_buffer.isEmpty() : true; }
    // After Failed: the status to answer with and why.
    int failureStatus() const { return m_failureStatus; }
    QString failureText() const { return m_failureText; }

private:
    enum class Body { Length, ChunkSize, ChunkData, ChunkEnd, Trailer };

    Result fail(int status, const QString &text);
    Result readHead();
    Result readFraming();
    Result readBody(HttpRequest *request);
    Result readChunks();
    bool takeLine(QByteArray *line);
    // The body limit of the request being read.
    qsizetype bodyLimit() const;

    Limits m_limits;
    QByteArray m_buffer;
    bool m_inHead = true;
    HttpRequest m_request;
    Body m_body = Body::Length;
    qint64 m_remaining = 0; // of the Content-Length or the current chunk
    qsizetype m_trailer = 0;
    bool m_continue = false;
    bool m_failed = false;
    int m_failureStatus = 0;
    QString m_failureText;
};

} // namespace auravox
