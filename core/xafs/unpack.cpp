#include "unpack.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace xafs {

bool isGzip(std::string_view bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f
        && static_cast<unsigned char>(bytes[1]) == 0x8b;
}

Outcome<std::string> gunzip(std::string_view bytes, const std::string &name, std::size_t maxBytes)
{
    z_stream stream {};
    // 16 + MAX_WBITS: a gzip header and trailer, checked.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return Error { name, 0, "cannot unpack: zlib could not start" };
    std::string out;
    const auto *next = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t left = bytes.size();
    char buffer[1 << 16];
    int status = Z_OK;
    std::string failure;
    while (true) {
        if (stream.avail_in == 0 && left > 0) {
            const std::size_t chunk = std::min<std::size_t>(left, UINT_MAX);
            stream.next_in = const_cast<unsigned char *>(next);
            stream.avail_in = static_cast<uInt>(chunk);
            next += chunk;
            left -= chunk;
        }
        stream.next_out = reinterpret_cast<unsigned char *>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
        if (out.size() > maxBytes) {
            failure = "unpacks to more than " + std::to_string(maxBytes >> 20)
                + " MiB: not a measured spectrum";
            break;
        }
        if (status == Z_STREAM_END) {
            // gzip may hold several members one after the other; anything else ends it.
            if (stream.avail_in >= 2 && stream.next_in[0] == 0x1f && stream.next_in[1] == 0x8b) {
                inflateReset(&stream);
                continue;
            }
            break;
        }
        if (status == Z_BUF_ERROR && stream.avail_in == 0 && left == 0) {
            failure = "the gzip data end early (the file is cut short)";
            break;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            failure = std::string("the gzip data are corrupt")
                + (stream.msg ? std::string(" (zlib: ") + stream.msg + ")" : std::string());
            break;
        }
    }
    inflateEnd(&stream);
    if (!failure.empty())
        return Error { name, 0, failure };
    return out;
}

} // namespace xafs
