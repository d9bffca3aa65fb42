#pragma once

#include <QtGlobal>
#include <csetjmp>
#include <cstddef>
#include <functional>
#include <gumbo.h>

// One gumbo parse that cannot take the program down with it. Every block the parser allocates is
// counted and kept in a list, so that
// - the tree is freed by walking that list (the parser's own freeing recurses once per level and
//   runs out of stack on a deep tree);
// - a parse that would hold more than `budget` bytes (what it asked for, and what allocating that
//   costs) stops there instead of exhausting memory;
// - a parse stops soon after `keepGoing` says no (it is asked every few thousand allocations).
// A stopped parse returns no tree and frees all it took.
class GuardedParse {
public:
    enum class Outcome { Parsed, OverBudget, Stopped };

    GuardedParse(std::size_t budget, std::function<bool()> keepGoing);
    ~GuardedParse();
    GuardedParse(const GuardedParse&) = delete;
    GuardedParse& operator=(const GuardedParse&) = delete;

    // Parses with `options` (its allocator and user data are replaced); nullptr when stopped, see
    // outcome(). The tree lives until the next parse or release().
    const GumboOutput* parse(const GumboOptions& options, const char* text, std::size_t size);
    Outcome outcome() const { return m_outcome; }
    // Frees the last tree.
    void release();
    // The most the parser held at once, in bytes, since this object was made.
    std::size_t peakBytes() const { return m_peak; }

private:
    struct Block;
    static void* allocate(void* self, std::size_t size);
    static void deallocate(void* self, void* pointer);
    [[noreturn]] void stop(Outcome outcome);

    std::size_t m_budget;
    std::function<bool()> m_keepGoing;
    GumboOptions m_options;
    Block* m_blocks = nullptr; // every live block, newest first
    std::size_t m_live = 0;
    std::size_t m_peak = 0;
    unsigned m_sinceAsked = 0;
    Outcome m_outcome = Outcome::Parsed;
    std::jmp_buf m_escape;
};
