#include "web/HttpRequestReader.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

namespace auravox {

namespace {

constexpr qsizetype kMaxChunkLine = 1024;
constexpr qsizetype kMaxMethod = 16;

// The characters of a method or a header's name (RFC 9110 "token").
bool tokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
           || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool allToken(const QByteArray &s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), tokenChar);
}

bool allDigits(const QByteArray &s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool fieldValueChars(const QByteArray &s)
{
    return std::none_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7f;
    });
}

bool hasToken(const QByteArray &list, const QByteArray &token)
{
    for (const QByteArray &part : list.split(','))
        if (part.trimmed().toLower() == token)
            return true;
    return false;
}

} // namespace

HttpRequestReader::Result HttpRequestReader::fail(int status, const QString &text)
{
    m_failed = true;
    m_failureStatus = status;
    m_failureText = text;
    m_buffer.clear();
    return Result::Failed;
}

bool HttpRequestReader::takeContinue()
{
    return std::exchange(m_continue, false);
}

bool HttpRequestReader::takeLine(QByteArray *line)
{
    const qsizetype end = m_buffer.indexOf("\r\n");
    if (end < 0)
        return false;
    *line = m_buffer.left(end);
    m_buffer.remove(0, end + 2);
    return true;
}

HttpRequestReader::Result HttpRequestReader::next(HttpRequest *request)
{
    if (m_failed)
        return Result::Failed;
    if (m_inHead) {
        if (const Result r = readHead(); r != Result::Ready)
            return r;
        if (const Result r = readFraming(); r != Result::Ready)
            return r;
        m_inHead = false;
    }
    if (const Result r = readBody(&m_request); r != Result::Ready)
        return r;
    m_continue = false; // the body came with the head: no interim answer
    *request = std::exchange(m_request, HttpRequest());
    m_inHead = true;
    return Result::Ready;
}

HttpRequestReader::Result HttpRequestReader::readHead()
{
    while (m_buffer.startsWith("\r\n")) // empty lines before a request are passed over
        m_buffer.remove(0, 2);
    // Bytes that cannot begin a request line are refused at once, not after
    // waiting for a line end that may never come.
    const qsizetype space = m_buffer.indexOf(' ');
    const QByteArray method = m_buffer.left(space < 0 ? std::min(m_buffer.size(), kMaxMethod + 1) : space);
    if ((space == 0 || !method.isEmpty()) && (!allToken(method) || method.size() > kMaxMethod))
        return fail(400, QStringLiteral("not an HTTP request"));
    const qsizetype end = m_buffer.indexOf("\r\n\r\n");
    if (end < 0 ? m_buffer.size() > m_limits.maxHead : end + 4 > m_limits.maxHead)
        return fail(413, QStringLiteral("request too large"));
    if (end < 0)
        return Result::NeedMore;
    const QList<QByteArray> lines = m_buffer.left(end).split('\n');
    m_buffer.remove(0, end + 4);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        // Every line ends in CR LF; a lone CR or LF is read differently by
        // different servers, so it is refused.
        if (i + 1 < lines.size() && !line.endsWith('\r'))
            return fail(400, QStringLiteral("a line of the request does not end in CR LF"));
        if (i + 1 < lines.size())
            line.chop(1);
        if (line.contains('\r'))
            return fail(400, QStringLiteral("a line of the request does not end in CR LF"));
        if (i == 0) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() != 3 || !allToken(parts[0]) || parts[1].isEmpty()
                || !std::all_of(parts[1].begin(), parts[1].end(), [](char c) { return c > 0x20 && c < 0x7f; })
                || !parts[2].startsWith("HTTP/"))
                return fail(400, QStringLiteral("not an HTTP request"));
            if (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0")
                return fail(505, QStringLiteral("use HTTP/1.1"));
            m_request.method = parts[0];
            m_request.target = parts[1];
            m_request.version = parts[2];
            continue;
        }
        if (line.startsWith(' ') || line.startsWith('\t'))
            return fail(400, QStringLiteral("folded header lines are not accepted"));
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(std::max<qsizetype>(colon, 0));
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (colon <= 0 || !allToken(name) || !fieldValueChars(value))
            return fail(400, QStringLiteral("malformed header line"));
        m_request.headers.append({name.toLower(), value});
    }
    return Result::Ready;
}

HttpRequestReader::Result HttpRequestReader::readFraming()
{
    QList<QByteArray> lengths, codings, hosts, expects;
    QByteArray connection;
    for (const auto &[name, value] : std::as_const(m_request.headers)) {
        if (name == "content-length")
            lengths << value;
        else if (name == "transfer-encoding")
            codings << value;
        else if (name == "host")
            hosts << value;
        else if (name == "expect")
            expects << value;
        else if (name == "connection")
            connection += value + ',';
    }
    const bool http10 = m_request.version == "HTTP/1.0";
    if (hosts.size() > 1)
        return fail(400, QStringLiteral("more than one Host header"));
    if (!codings.isEmpty()) {
        if (!lengths.isEmpty())
            return fail(400, QStringLiteral("a request may not carry both Content-Length and Transfer-Encoding"));
        if (http10 || codings.size() != 1 || codings.first().toLower() != "chunked")
            return fail(400, QStringLiteral("the only Transfer-Encoding accepted is chunked"));
    }
    if (lengths.size() > 1)
        return fail(400, QStringLiteral("more than one Content-Length"));
    if (!lengths.isEmpty() && (!allDigits(lengths.first()) || lengths.first().size() > 15))
        return fail(400, QStringLiteral("malformed Content-Length"));
    bool wantsContinue = false;
    if (!expects.isEmpty()) {
        if (expects.size() != 1 || expects.first().toLower() != "100-continue")
            return fail(417, QStringLiteral("the only expectation met is 100-continue"));
        wantsContinue = !http10;
    }
    m_remaining = lengths.isEmpty() ? 0 : lengths.first().toLongLong();
    if (m_remaining > bodyLimit())
        return fail(wantsContinue ? 417 : 413,
                    QStringLiteral("request body too large (%1 bytes at most)").arg(bodyLimit()));
    m_request.keepAlive = http10 ? hasToken(connection, "keep-alive") : !hasToken(connection, "close");
    m_body = codings.isEmpty() ? Body::Length : Body::ChunkSize;
    m_trailer = 0;
    m_continue = wantsContinue && (m_body != Body::Length || m_remaining > 0);
    return Result::Ready;
}

qsizetype HttpRequestReader::bodyLimit() const
{
    if (m_limits.uploadPath.isEmpty())
        return m_limits.maxBody;
    const QByteArray &target = m_request.target;
    const qsizetype query = target.indexOf('?');
    return (query < 0 ? target : target.left(query)) == m_limits.uploadPath ? m_limits.maxUploadBody
                                                                            : m_limits.maxBody;
}

HttpRequestReader::Result HttpRequestReader::readBody(HttpRequest *request)
{
    if (m_body != Body::Length)
        return readChunks();
    if (m_buffer.size() < m_remaining)
        return Result::NeedMore;
    request->body = m_buffer.left(m_remaining);
    m_buffer.remove(0, m_remaining);
    return Result::Ready;
}

HttpRequestReader::Result HttpRequestReader::readChunks()
{
    QByteArray &body = m_request.body;
    for (QByteArray line;;) {
        switch (m_body) {
        case Body::Length:
            return Result::Ready;
        case Body::ChunkSize: {
            if (!takeLine(&line))
                return m_buffer.size() > kMaxChunkLine ? fail(400, QStringLiteral("malformed chunk"))
                                                       : Result::NeedMore;
            const qsizetype semicolon = line.indexOf(';'); // extensions are passed over
            QByteArray digits = line.left(semicolon < 0 ? line.size() : semicolon);
            if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(c); }))
                return fail(400, QStringLiteral("malformed chunk size"));
            while (digits.size() > 1 && digits.startsWith('0'))
                digits.remove(0, 1);
            if (digits.size() > 8)
                return fail(400, QStringLiteral("chunk size out of range"));
            m_remaining = digits.toLongLong(nullptr, 16);
            if (body.size() + m_remaining > bodyLimit())
                return fail(413, QStringLiteral("request body too large (%1 bytes at most)").arg(bodyLimit()));
            m_body = m_remaining == 0 ? Body::Trailer : Body::ChunkData;
            break;
        }
        case Body::ChunkData:
            if (m_buffer.size() < m_remaining)
                return Result::NeedMore;
            body += m_buffer.left(m_remaining);
            m_buffer.remove(0, m_remaining);
            m_body = Body::ChunkEnd;
            break;
        case Body::ChunkEnd:
            if (m_buffer.size() < 2)
                return Result::NeedMore;
            if (!m_buffer.startsWith("\r\n"))
                return fail(400, QStringLiteral("malformed chunk"));
            m_buffer.remove(0, 2);
            m_body = Body::ChunkSize;
            break;
        case Body::Trailer:
            if (!takeLine(&line)) {
                return m_trailer + m_buffer.size() > m_limits.maxHead ? fail(413, QStringLiteral("request too large"))
                                                                      : Result::NeedMore;
            }
            if (line.isEmpty()) {
                m_body = Body::Length;
                return Result::Ready;
            }
            m_trailer += line.size() + 2; // trailer fields are read and dropped
            if (m_trailer > m_limits.maxHead)
                return fail(413, QStringLiteral("request too large"));
            break;
        }
    }
}

} // namespace auravox
