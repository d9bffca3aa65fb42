#pragma once

// The ASCII character classes the HTML tokenizer works with, for the code that reads a document's
// bytes before the parser does.
namespace BookmarkFile::ascii {

inline bool isHtmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

inline bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace BookmarkFile::ascii
