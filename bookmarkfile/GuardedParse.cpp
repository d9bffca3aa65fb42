#include "bookmarkfile/GuardedParse.h"

#include <algorithm>
#include <cstdlib>

struct alignas(std::max_align_t) GuardedParse::Block {
    Block* previous;
    Block* next;
    std::size_t size;
};

GuardedParse::GuardedParse(std::size_t budget, std::function<bool()> keepGoing)
    : m_budget(budget), m_keepGoing(std::move(keepGoing)), m_options(kGumboDefaultOptions)
{
}

GuardedParse::~GuardedParse()
{
    release();
}

const GumboOutput* GuardedParse::parse(const GumboOptions& options, const char* text, std::size_t size)
{
    release();
    m_options = options;
    m_options.allocator = &GuardedParse::allocate;
    m_options.deallocator = &GuardedParse::deallocate;
    m_options.userdata = this;
    m_outcome = Outcome::Parsed;
    // The allocator jumps back here when the parse must stop. The parser keeps all its state in the
    // blocks it allocated, and the frames jumped over are its own (C, nothing to unwind).
    if (setjmp(m_escape) != 0) {
        release();
        return nullptr;
    }
    return gumbo_parse_with_options(&m_options, text, size);
}

void GuardedParse::release()
{
    while (m_blocks) {
        Block* block = m_blocks;
        m_blocks = block->next;
        std::free(block);
    }
    m_live = 0;
}

void* GuardedParse::allocate(void* self, std::size_t size)
{
    auto* guard = static_cast<GuardedParse*>(self);
    // What the block costs: its bytes, the list's header and the allocator's own.
    size += sizeof(Block) + 2 * sizeof(void*);
    if (guard->m_live + size > guard->m_budget)
        guard->stop(Outcome::OverBudget);
    if (++guard->m_sinceAsked >= 4096) {
        guard->m_sinceAsked = 0;
        if (guard->m_keepGoing && !guard->m_keepGoing())
            guard->stop(Outcome::Stopped);
    }
    auto* block = static_cast<Block*>(std::malloc(size - 2 * sizeof(void*)));
    if (!block)
        guard->stop(Outcome::OverBudget);
    block->previous = nullptr;
    block->next = guard->m_blocks;
    block->size = size;
    if (guard->m_blocks)
        guard->m_blocks->previous = block;
    guard->m_blocks = block;
    guard->m_live += size;
    guard->m_peak = std::max(guard->m_peak, guard->m_live);
    return block + 1;
}

void GuardedParse::deallocate(void* self, void* pointer)
{
    if (!pointer)
        return;
    auto* guard = static_cast<GuardedParse*>(self);
    Block* block = static_cast<Block*>(pointer) - 1;
    if (block->previous)
        block->previous->next = block->next;
    else
        guard->m_blocks = block->next;
    if (block->next)
        block->next->previous = block->previous;
    guard->m_live -= block->size;
    std::free(block);
}

void GuardedParse::stop(Outcome outcome)
{
    m_outcome = outcome;
    std::longjmp(m_escape, 1);
}
