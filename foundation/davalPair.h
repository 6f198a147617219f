#pragma once

#include "foundation/podoStr.h"

// Two values ordered and matched by their first member only.
template <class A, class B>
class davalPair
{
public:
    davalPair() = default;
    davalPair(const A &a, const B &b)
    {
        first = a;
        second = b;
    }
    davalPair(const davalPair &other) { *this = other; }
    virtual ~davalPair() = default;

    virtual podoStr toText() const { return podoStr(); }

    virtual davalPair &operator=(const davalPair &other)
    {
        first = other.first;
        second = other.second;
        return *this;
    }

    virtual bool operator==(const davalPair &other) const { return first == other.first; }
    virtual bool operator!=(const davalPair &other) const { return !(first == other.first); }
    virtual bool operator<(const davalPair &other) const { return first < other.first; }
    virtual bool operator<=(const davalPair &other) const { return first <= other.first; }
    virtual bool operator>(const davalPair &other) const { return first > other.first; }
    virtual bool operator>=(const davalPair &other) const { return first >= other.first; }

    A first{};
    B second{};
};

// A key (first) and its value (second), compared by the key, case-sensitively.
class davalPairString : public davalPair<podoStr, podoStr>
{
public:
    davalPairString() = default;
    // An absent key or value is the empty text.
    davalPairString(const podoStr *key, const podoStr *value)
    {
        if (key)
            first = *key;
        if (value)
            second = *value;
    }
    davalPairString(const podoStr &key, const podoStr &value) : davalPair(key, value) {}
    davalPairString(const davalPairString &other) : davalPair(other) {}
    davalPairString &operator=(const davalPairString &other)
    {
        davalPair::operator=(other);
        return *this;
    }

    // "key, value"
    virtual podoStr toString() const
    {
        podoStr text(first);
        text.append(", ");
        text.append(second);
        return text;
    }
};
