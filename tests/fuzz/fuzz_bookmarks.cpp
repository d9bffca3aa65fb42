// Arbitrary bytes as a bookmark file: reading never crashes, and handing the parser pieces cut
// wherever the reader allows gives exactly what one parse of the whole document gives.

#include "bookmarkfile/BookmarkFile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const BookmarkReadResult whole = BookmarkFile::read(bytes, qMax<qsizetype>(bytes.size(), 1));
    const BookmarkReadResult pieces = BookmarkFile::read(bytes, 1);
    if (pieces.error != whole.error || pieces.links != whole.links ||
        pieces.skippedWithoutAddress != whole.skippedWithoutAddress ||
        pieces.skippedUnopenableAddress != whole.skippedUnopenableAddress)
        std::abort();
    return 0;
}
