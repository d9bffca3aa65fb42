#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <memory>
#include <vector>

// One pass over a document before any of it is parsed. It follows the HTML tokenizer through tags,
// comments, quoted attribute values and the text of raw-text elements, and tells:
// - how deeply the parser would nest its elements. The estimate follows the rules by which elements
//   close themselves and each other (p, li, dt and dd, headings, table parts, void elements) and
//   counts formatting elements left open, which the parser opens again; where a rule is not
//   followed it errs on the deep side, so that a file nested too deeply is refused before the
//   parser sees it, whose time grows with the square of the depth;
// - how many anchors it holds;
// - where it may be cut into pieces that each parse, from a fresh start, to the links the whole
//   document gives: before any tag or comment, in plain text, while no anchor is open, as long as
//   every tag so far belongs to a bookmark file's vocabulary and every anchor so far held only
//   text. A piece then starts inside nothing but lists, headings and paragraphs, and only a tag
//   inside an anchor could close the anchor early by closing one of them. The first tag that
//   breaks this voids every cut.
// The document may arrive in parts; a token that a part's end cuts is scanned again once the next
// part is in.
class DocumentScan {
public:
    // Pieces of at least pieceBytes; deeper than maxDepth is too deep, and more than maxWork steps
    // of the parser's that grow with the depth (below) too slow.
    DocumentScan(qsizetype pieceBytes, int maxDepth, quint64 maxWork);
    ~DocumentScan();
    DocumentScan(const DocumentScan&) = delete;
    DocumentScan& operator=(const DocumentScan&) = delete;

    // The next part of the document; `last` when the document ends with it. Once too deep or too
    // slow, the scan stops and takes no more.
    void add(QByteArrayView part, bool last);

    bool tooDeep() const;
    // The parser would spend more than maxWork steps looking through its open elements: for every
    // tag as many as are open, and for every character of text inside a formatting element as many
    // as lie below it. Complete once the last part is in.
    bool tooSlow() const;
    // Start tags of HTML anchors.
    qsizetype anchors() const;
    // The nodes the parser would make, about: elements, attributes, runs of text and comments (and
    // end tags, which cost it about as much).
    quint64 nodes() const;
    // Where the pieces after the first start, in bytes from the document's start, ascending; empty
    // when the document is one piece. Complete once the last part is in.
    const std::vector<qint64>& cuts() const;

private:
    struct State;
    std::unique_ptr<State> d;
};
