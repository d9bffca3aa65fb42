// Arbitrary bytes as a bookmark file: reading never crashes; handing the parser pieces cut
// wherever the reader allows gives exactly what one parse of the whole document gives; and a file
// the depth check lets through never nests much deeper in the parser's tree than the check allows.

#include "bookmarkfile/BookmarkFile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <gumbo.h>
#include <utility>
#include <vector>

namespace {

// The depth of the parser's tree below <body>, walked without recursion.
int treeDepth(const GumboNode* document)
{
    int deepest = 0;
    std::vector<std::pair<const GumboNode*, int>> open{{document, -2}}; // html and body are not counted
    while (!open.empty()) {
        const auto [node, depth] = open.back();
        open.pop_back();
        deepest = std::max(deepest, depth);
        const GumboVector* children = node->type == GUMBO_NODE_DOCUMENT ? &node->v.document.children
                                      : node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE
                                          ? &node->v.element.children
                                          : nullptr;
        for (unsigned i = 0; children && i < children->length; ++i)
            open.push_back({static_cast<const GumboNode*>(children->data[i]), depth + 1});
    }
    return deepest;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const BookmarkReadResult whole = BookmarkFile::read(bytes, qMax<qsizetype>(bytes.size(), 1));
    const BookmarkReadResult pieces = BookmarkFile::read(bytes, 1);
    if (pieces.error != whole.error || pieces.links != whole.links ||
        pieces.skippedWithoutAddress != whole.skippedWithoutAddress ||
        pieces.skippedUnopenableAddress != whole.skippedUnopenableAddress ||
        pieces.skippedTooLong != whole.skippedTooLong)
        std::abort();

    // With a small limit, what the check lets through the parser nests at most about as deep: the
    // tree can hold a few levels the open elements do not (a form closed alone stays a parent).
    constexpr int kLimit = 24;
    const BookmarkReadResult checked = BookmarkFile::read(bytes, bytes.size() + 1, kLimit, UINT64_MAX);
    const bool utf16 =
        bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"); // the parser gets it converted
    if (!utf16 && checked.error != BookmarkError::TooDeep && checked.error != BookmarkError::Binary) {
        GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, bytes.constData(), size_t(size));
        const int depth = treeDepth(output->document);
        gumbo_destroy_output(&kGumboDefaultOptions, output);
        if (depth > 2 * kLimit + 8)
            std::abort();
    }
    return 0;
}
