#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace vex::compression {

// How one zstd frame is made.
struct ZstdSettings {
    int level = 3;
    // log2 of the farthest a match may reach back; 0 keeps the level's own. A frame whose content
    // size is known never gets a larger window than it needs.
    int windowLog = 0;
    // Finds repeats far back in a large window (or in a prefix) that the level's own search
    // would miss.
    bool longDistanceMatching = false;
    // A checksum of the content at the frame's end, which every decoder checks.
    bool checksum = true;
    // The content's size when known (-1 otherwise): written into the frame, which then fails
    // when a different number of bytes arrives.
    qint64 contentSize = -1;
    // Bytes the content may refer to as if they came just before it, as a patch refers to the
    // old file; decoding needs the same bytes. They must stay in place while the frame is made.
    QByteArrayView prefix;
    // Compresses on a worker thread of libzstd's (0: on the calling thread). With a large
    // prefix, libzstd's long-distance search finds its matches only this way at the high
    // levels: on the calling thread a 1 % change to 128 MiB came out at the whole size.
    bool onWorkerThread = false;
};

// The smallest window log (within what zstd allows) whose window spans `bytes`: what a patch
// needs so that the end of the new content still reaches the start of the old file.
int WindowLogSpanning(qint64 bytes);

// The largest window log a frame may ask of a decoder that is given no other bound (128 MiB).
int DefaultMaxWindowLog();

} // namespace vex::compression
