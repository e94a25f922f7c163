#pragma once
// Pieces of a text, counted in characters; positions are 1-based.

#include <QString>

namespace tavelin::text {

// The first n characters (all of them when n exceeds the length).
inline QString left(const QString& s, int n) { return n <= 0 ? QString() : s.left(n); }
// The last n characters.
inline QString right(const QString& s, int n) { return n <= 0 ? QString() : s.right(n); }
// At most n characters from the 1-based position start; empty past the end.
inline QString mid(const QString& s, int start, int n)
{
    if (start < 1 || n <= 0 || start > s.size())
        return QString();
    return s.mid(start - 1, n);
}
inline int length(const QString& s) { return s.size(); }

} // namespace tavelin::text
