#include "search/Find.h"

#include "search/Fold.h"

#include <algorithm>
#include <cstring>

namespace search {

namespace {

constexpr std::uint8_t NameFoldsToItself = 1;
constexpr std::uint8_t UrlFoldsToItself = 2;

void appendLength(std::string& out, size_t length)
{
    while (length >= 0x80) {
        out.push_back(char(0x80 | (length & 0x7F)));
        length >>= 7;
    }
    out.push_back(char(length));
}

size_t readLength(const char*& at)
{
    size_t length = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*at++);
        length |= size_t(byte & 0x7F) << shift;
        if (byte < 0x80)
            return length;
    }
}

size_t findIn(std::string_view haystack, const std::string& needle, size_t from)
{
    if (from > haystack.size())
        return std::string_view::npos;
    const void* hit = memmem(haystack.data() + from, haystack.size() - from, needle.data(), needle.size());
    return hit ? size_t(static_cast<const char*>(hit) - haystack.data()) : std::string_view::npos;
}

// Whether a word of text begins at byte `at`: the text's start, or after a character that is
// neither a letter nor a digit.
bool wordStartsAt(std::string_view text, size_t at)
{
    if (at == 0)
        return true;
    auto byte = static_cast<unsigned char>(text[at - 1]);
    if (byte < 0x80)
        return !((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9'));
    size_t lead = at - 1;
    while (lead > 0 && at - lead < 4 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80)
        --lead;
    const QString previous = QString::fromUtf8(text.data() + lead, qsizetype(at - lead));
    if (previous.isEmpty())
        return true;
    const char32_t c =
        previous.size() == 2 ? QChar::surrogateToUcs4(previous[0], previous[1]) : char32_t(previous[0].unicode());
    return !QChar::isLetterOrNumber(c);
}

} // namespace

bool Query::narrows(const Query& wider) const
{
    return std::string_view(text).starts_with(wider.text);
}

Query parseQuery(QStringView typed)
{
    const QString folded = fold(typed);
    Query query;
    qsizetype i = 0;
    while (i < folded.size()) {
        while (i < folded.size() && folded[i].isSpace())
            ++i;
        const qsizetype start = i;
        while (i < folded.size() && !folded[i].isSpace())
            ++i;
        if (i == start)
            break;
        const QByteArray utf8 = QStringView(folded).mid(start, i - start).toUtf8();
        std::string word(utf8.constData(), size_t(utf8.size()));
        if (!query.text.empty())
            query.text.push_back(' ');
        query.text += word;
        // A word typed twice narrows nothing further.
        if (std::find(query.words.begin(), query.words.end(), word) == query.words.end())
            query.words.push_back(std::move(word));
    }
    return query;
}

void Index::Builder::reserve(int links)
{
    // A name, an address and the name folded take about 100 bytes in most lists.
    m_ids.reserve(size_t(links));
    m_at.reserve(size_t(links));
    m_bytes.reserve(size_t(links) * 100);
}

void Index::Builder::add(qint64 id, std::string_view name, std::string_view url)
{
    // Most addresses, and names in small letters, fold to themselves: no need to fold them.
    std::uint8_t flags = 0;
    if (foldsToItself(name, true)) {
        flags |= NameFoldsToItself;
    } else {
        m_foldedName.clear();
        appendFolded(m_foldedName, name, true);
        if (m_foldedName == name)
            flags |= NameFoldsToItself;
    }
    if (foldsToItself(url, false)) {
        flags |= UrlFoldsToItself;
    } else {
        m_foldedUrl.clear();
        appendFolded(m_foldedUrl, url, false);
        if (m_foldedUrl == url)
            flags |= UrlFoldsToItself;
    }

    m_ids.push_back(id);
    m_at.push_back(m_bytes.size());
    m_bytes.push_back(char(flags));
    appendLength(m_bytes, name.size());
    appendLength(m_bytes, url.size());
    if (!(flags & NameFoldsToItself))
        appendLength(m_bytes, m_foldedName.size());
    if (!(flags & UrlFoldsToItself))
        appendLength(m_bytes, m_foldedUrl.size());
    m_bytes += name;
    m_bytes += url;
    if (!(flags & NameFoldsToItself))
        m_bytes += m_foldedName;
    if (!(flags & UrlFoldsToItself))
        m_bytes += m_foldedUrl;
}

std::string_view Index::Builder::name(int position) const
{
    return texts(m_bytes.data() + m_at[size_t(position)]).name;
}

Index Index::Builder::build(const std::vector<int>& order) &&
{
    Index index;
    index.m_ids.reserve(order.size());
    index.m_at.reserve(order.size());
    index.m_bytes.reserve(m_bytes.size());
    for (int position : order) {
        const size_t begin = m_at[size_t(position)];
        const size_t end = size_t(position) + 1 < m_at.size() ? m_at[size_t(position) + 1] : m_bytes.size();
        index.m_ids.push_back(m_ids[size_t(position)]);
        index.m_at.push_back(index.m_bytes.size());
        index.m_bytes.append(m_bytes, begin, end - begin);
    }
    *this = {};
    return index;
}

Index::Index(const QList<Link>& links, const std::vector<int>& order)
{
    Builder builder;
    for (const Link& link : links) {
        const QByteArray name = link.name.toUtf8();
        const QByteArray url = link.url.toUtf8();
        builder.add(link.id, {name.constData(), size_t(name.size())}, {url.constData(), size_t(url.size())});
    }
    *this = std::move(builder).build(order);
}

Index::Texts Index::texts(const char* at)
{
    const auto flags = static_cast<std::uint8_t>(*at++);
    const size_t nameLength = readLength(at);
    const size_t urlLength = readLength(at);
    const size_t foldedNameLength = flags & NameFoldsToItself ? nameLength : readLength(at);
    const size_t foldedUrlLength = flags & UrlFoldsToItself ? urlLength : readLength(at);
    Texts t;
    t.name = {at, nameLength};
    at += nameLength;
    t.url = {at, urlLength};
    at += urlLength;
    if (flags & NameFoldsToItself) {
        t.foldedName = t.name;
    } else {
        t.foldedName = {at, foldedNameLength};
        at += foldedNameLength;
    }
    t.foldedUrl = flags & UrlFoldsToItself ? t.url : std::string_view(at, foldedUrlLength);
    return t;
}

QString Index::name(int row) const
{
    const std::string_view name = texts(row).name;
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

QString Index::url(int row) const
{
    const std::string_view url = texts(row).url;
    return QString::fromUtf8(url.data(), qsizetype(url.size()));
}

std::optional<Rank> Index::rank(int row, const Query& query) const
{
    if (query.isEmpty())
        return Rank::InName;
    const Texts t = texts(row);
    bool allInName = true;
    bool allStartWords = true;
    for (const std::string& word : query.words) {
        size_t at = findIn(t.foldedName, word, 0);
        if (at == std::string_view::npos) {
            allInName = false;
            if (findIn(t.foldedUrl, word, 0) == std::string_view::npos)
                return std::nullopt;
            continue;
        }
        if (allStartWords) {
            while (at != std::string_view::npos && !wordStartsAt(t.foldedName, at))
                at = findIn(t.foldedName, word, at + 1);
            allStartWords = at != std::string_view::npos;
        }
    }
    if (!allInName)
        return Rank::InAddress;
    if (t.foldedName == query.text)
        return Rank::NameEquals;
    if (t.foldedName.starts_with(query.text))
        return Rank::NameStarts;
    return allStartWords ? Rank::NameWordsStart : Rank::InName;
}

Search::Search(const Index& index, Query query, std::optional<std::vector<int>> candidates)
    : m_index(index), m_query(std::move(query)), m_candidates(std::move(candidates))
{
}

int Search::total() const
{
    return m_candidates ? int(m_candidates->size()) : m_index.size();
}

bool Search::run(std::chrono::microseconds budget)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + budget;
    const int n = total();
    // The clock is read once per batch: reading it per row would cost as much as the rows.
    constexpr int Batch = 2048;
    while (m_next < n) {
        const int end = std::min(n, m_next + Batch);
        for (; m_next < end; ++m_next) {
            const int row = m_candidates ? (*m_candidates)[size_t(m_next)] : m_next;
            if (const std::optional<Rank> rank = m_index.rank(row, m_query)) {
                m_byRank[int(*rank)].push_back(row);
                m_listed.push_back(row);
            }
        }
        if (Clock::now() >= until)
            break;
    }
    return done();
}

Matches Search::take()
{
    Matches matches;
    matches.query = std::move(m_query);
    matches.rows.reserve(m_listed.size());
    for (std::vector<int>& ranked : m_byRank) {
        matches.rows.insert(matches.rows.end(), ranked.begin(), ranked.end());
        ranked = {};
    }
    matches.listed = std::move(m_listed);
    return matches;
}

std::vector<int> find(const QList<Link>& links, const std::vector<int>& order, QStringView query)
{
    const Index index(links, order);
    Search search(index, parseQuery(query));
    while (!search.run(std::chrono::seconds(1))) {
    }
    std::vector<int> positions;
    for (int row : search.take().rows)
        positions.push_back(order[size_t(row)]);
    return positions;
}

} // namespace search
