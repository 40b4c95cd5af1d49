#include "tests/support/Compressed.h"

#include <zlib.h>

#include <algorithm>

namespace vex::testing {

QByteArray CodingName(Coding coding) {
    return coding == Coding::Gzip ? "gzip" : "deflate";
}

QByteArray CompressedZeros(qint64 size, Coding coding) {
    z_stream stream{};
    // 15 + 16 writes a gzip wrapper, 15 the zlib wrapper that "deflate" means in HTTP.
    const int windowBits = coding == Coding::Gzip ? 15 + 16 : 15;
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    const QByteArray zeros(1024 * 1024, '\0');
    QByteArray out;
    char buffer[64 * 1024];
    for (qint64 left = size;;) {
        const qint64 n = std::min<qint64>(left, zeros.size());
        left -= n;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.constData()));
        stream.avail_in = static_cast<uInt>(n);
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        int rc = Z_OK;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            rc = deflate(&stream, flush);
            out.append(buffer, static_cast<qsizetype>(sizeof buffer - stream.avail_out));
        } while (stream.avail_out == 0);
        if (left == 0 || rc == Z_STREAM_END) break;
    }
    deflateEnd(&stream);
    return out;
}

} // namespace vex::testing
