#pragma once

#include "data/LinksStore.h"

#include <QStringView>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Finding links by any words of their names and addresses. Every word of the query must occur in the
// name or the address, compared folded (search/Fold.h); the matches come best first, and matches of
// equal rank keep the order of the main list.
namespace search {

// How well a link matches, best first.
enum class Rank : std::uint8_t {
    NameEquals,     // the name is the query
    NameStarts,     // the name starts with the query
    NameWordsStart, // every query word begins a word of the name
    InName,         // every query word occurs in the name
    InAddress,      // some query word occurs only in the address
};
inline constexpr int RankCount = 5;

// A query as typed, folded and split at blanks.
struct Query {
    std::vector<std::string> words; // UTF-8, none empty, none twice
    std::string text;               // the words joined by one blank, in the order typed

    bool isEmpty() const { return words.empty(); }
    // Whether every link that matches this query also matches `wider` (this query only adds to it).
    bool narrows(const Query& wider) const;
};
Query parseQuery(QStringView typed);

// The links folded once, in the main list's order (row 0 is shown first), with the texts they show.
// Texts are held as UTF-8, an address or name that folds to itself only once.
class Index {
public:
    // Takes links one at a time in any order, as stored (UTF-8), folds each once, and then puts
    // them in the list's order.
    class Builder {
    public:
        // Room for about this many links, so that the buffers do not grow while they are read.
        void reserve(int links);
        void add(qint64 id, std::string_view name, std::string_view url);
        int size() const { return int(m_ids.size()); }
        qint64 id(int position) const { return m_ids[size_t(position)]; }
        std::string_view name(int position) const;
        // order: the positions in the order added, the one shown first first (a permutation).
        Index build(const std::vector<int>& order) &&;

    private:
        std::vector<qint64> m_ids;
        std::vector<std::uint64_t> m_at;
        std::string m_bytes;
        std::string m_foldedName, m_foldedUrl;
    };

    Index() = default;
    // order: the positions in links, the one shown first first (a permutation of 0..n-1).
    Index(const QList<Link>& links, const std::vector<int>& order);

    int size() const { return int(m_ids.size()); }
    qint64 id(int row) const { return m_ids[size_t(row)]; }
    QString name(int row) const;
    QString url(int row) const;
    Link link(int row) const { return {name(row), url(row), id(row)}; }

    // How row matches query; nothing when a word occurs neither in its name nor in its address.
    // The empty query matches every row with one rank.
    std::optional<Rank> rank(int row, const Query& query) const;

private:
    struct Texts {
        std::string_view name, url, foldedName, foldedUrl;
    };
    static Texts texts(const char* at);
    Texts texts(int row) const { return texts(m_bytes.data() + m_at[size_t(row)]); }

    std::vector<qint64> m_ids;
    std::vector<std::uint64_t> m_at; // where each row's bytes begin in m_bytes
    std::string m_bytes;
};

// The matches of one query, best first.
struct Matches {
    Query query;
    std::vector<int> rows;   // best first; equal ranks in list order
    std::vector<int> listed; // the same rows in list order
};

// One query worked through an index a slice at a time, so that a window stays responsive over
// any number of links. The index must outlive it.
class Search {
public:
    // candidates: rows in list order known to hold every match (those of a query this one narrows);
    // nothing: every row.
    Search(const Index& index, Query query, std::optional<std::vector<int>> candidates = std::nullopt);

    // Works for about `budget`; true once every row has been looked at.
    bool run(std::chrono::microseconds budget);
    bool done() const { return m_next >= total(); }
    // The matches; only once done.
    Matches take();

private:
    int total() const;
    const Index& m_index;
    Query m_query;
    std::optional<std::vector<int>> m_candidates;
    int m_next = 0;
    std::vector<int> m_byRank[RankCount];
    std::vector<int> m_listed;
};

// Every match of the query among links, best first, as positions in links; order is the main
// list's order (positions in links, first shown first).
std::vector<int> find(const QList<Link>& links, const std::vector<int>& order, QStringView query);

} // namespace search
