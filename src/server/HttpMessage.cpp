#include "server/HttpMessage.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>

namespace tessary::server {

namespace {

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string decoded(std::string_view part)
{
    QByteArray bytes(part.data(), qsizetype(part.size()));
    bytes.replace('+', ' ');
    return QByteArray::fromPercentEncoding(bytes).toStdString();
}

} // namespace

std::string HttpRequest::header(std::string_view name) const
{
    for (const auto& [key, value] : headers)
        if (sameName(key, name))
            return value;
    return {};
}

std::string HttpRequest::param(std::string_view name) const
{
    for (const auto& [key, value] : query)
        if (key == name)
            return value;
    return {};
}

void splitTarget(std::string_view target, HttpRequest& request)
{
    const std::size_t mark = target.find('?');
    request.path = decoded(target.substr(0, mark));
    if (mark == std::string_view::npos)
        return;
    std::string_view rest = target.substr(mark + 1);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('&'), rest.size());
        const std::string_view pair = rest.substr(0, end);
        const std::size_t equals = pair.find('=');
        if (!pair.empty())
            request.query.emplace_back(decoded(pair.substr(0, equals)),
                                       equals == std::string_view::npos ? std::string()
                                                                        : decoded(pair.substr(equals + 1)));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
}

std::variant<QByteArray, int> decodedBody(const std::string& encoding, QByteArray body, std::size_t limit)
{
    if (encoding.empty() || sameName(encoding, "identity"))
        return body;
    if (!sameName(encoding, "gzip") && !sameName(encoding, "deflate"))
        return 415;
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 32) != Z_OK) // a zlib or a gzip header, whichever came
        return 400;
    stream.next_in = reinterpret_cast<Bytef*>(body.data());
    stream.avail_in = uInt(body.size());
    QByteArray plain;
    char piece[16 * 1024];
    int result = Z_OK;
    bool tooLarge = false;
    // Inflated a piece at a time, so a small body that would grow to gigabytes stops at the limit.
    while (result == Z_OK && !tooLarge) {
        stream.next_out = reinterpret_cast<Bytef*>(piece);
        stream.avail_out = sizeof(piece);
        result = inflate(&stream, Z_NO_FLUSH);
        plain.append(piece, qsizetype(sizeof(piece) - stream.avail_out));
        tooLarge = std::size_t(plain.size()) > limit;
    }
    inflateEnd(&stream);
    if (tooLarge)
        return 413;
    return result == Z_STREAM_END ? std::variant<QByteArray, int>(plain) : 400;
}

} // namespace tessary::server
