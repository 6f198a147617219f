#include "foundation/davalList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Ordered and matched by key only, like a key-value pair; tag tells equal keys apart.
struct Keyed {
    char key = 0;
    int tag = 0;
    bool operator==(const Keyed &o) const { return key == o.key; }
    bool operator>(const Keyed &o) const { return key > o.key; }
};

using List = davalList<Keyed>;

// Walks the list both ways and checks the links agree with each other and with the
// ends; returns the keys and tags from the head.
std::string contents(const List &list)
{
    std::string forward, backward;
    const List::Node *previous = nullptr;
    for (const List::Node *node = list.first(); node; node = node->next) {
        EXPECT_EQ(node->previous, previous);
        previous = node;
        forward += node->value.key;
        if (node->value.tag)
            forward += std::to_string(node->value.tag);
    }
    EXPECT_EQ(previous, list.last());
    for (const List::Node *node = list.last(); node; node = node->previous)
        backward.insert(backward.begin(), node->value.key);
    std::string keysOnly;
    for (char c : forward)
        if (c >= 'a')
            keysOnly += c;
    EXPECT_EQ(backward, keysOnly);
    EXPECT_EQ(list.getCount(), static_cast<int32_t>(keysOnly.size()));
    return forward;
}

List make(const std::string &keys)
{
    List list;
    for (char c : keys)
        list.add(Keyed{c});
    return list;
}

TEST(davalList, InsertSortedThenRemoveAtBothEnds)
{
    List list = make("bd");
    for (char c : std::string("ace"))
        list.insertSorted(Keyed{c});
    EXPECT_EQ(contents(list), "abcde");
    list.removeLast();
    list.removeFirst();
    EXPECT_EQ(contents(list), "bcd");
    EXPECT_EQ(list.first()->value.key, 'b');
    EXPECT_EQ(list.last()->value.key, 'd');
}

TEST(davalList, EqualKeysKeepTheirOrderOfInsertion)
{
    List list;
    list.insertSorted(Keyed{'b', 1});
    list.insertSorted(Keyed{'a', 1});
    list.insertSorted(Keyed{'b', 2});
    list.insertSorted(Keyed{'a', 2});
    EXPECT_EQ(contents(list), "a1a2b1b2");
}

TEST(davalList, InsertAfterTheFirstMatchingNode)
{
    List list = make("abc");
    List::Node anchor(Keyed{'b'});
    list.insertAfter(anchor, Keyed{'x'});
    EXPECT_EQ(contents(list), "abxc");
    anchor = Keyed{'c'};
    list.insertAfter(anchor, Keyed{'y'}); // after the tail: becomes the tail
    EXPECT_EQ(contents(list), "abxcy");
    anchor = Keyed{'q'};
    list.insertAfter(anchor, Keyed{'z'}); // no match: nothing
    EXPECT_EQ(contents(list), "abxcy");

    List empty;
    empty.insertAfter(anchor, Keyed{'z'});
    EXPECT_EQ(contents(empty), "z");
}

TEST(davalList, RemoveAnyNodeKeepsTheLinks)
{
    List list = make("abcd");
    EXPECT_EQ(list.remove(list.nodeAt(1))->value.key, 'c');
    EXPECT_EQ(contents(list), "acd");
    EXPECT_EQ(list.remove(list.last()), nullptr);
    EXPECT_EQ(contents(list), "ac");
    list.remove(list.first());
    list.remove(list.first());
    EXPECT_EQ(contents(list), "");
    EXPECT_EQ(list.first(), nullptr);
    EXPECT_EQ(list.last(), nullptr);
    list.removeFirst(); // empty: nothing
    list.removeLast();
    EXPECT_EQ(list.nodeAt(0), nullptr);
    EXPECT_EQ(list.at(0), nullptr);
}

TEST(davalList, LookupByPosition)
{
    List list = make("abc");
    EXPECT_EQ(list.at(2)->key, 'c');
    EXPECT_EQ(list.nodeAt(3), nullptr);
    EXPECT_EQ(list.nodeAt(-1), nullptr);
    EXPECT_EQ(list.findNode(Keyed{'b'}), list.nodeAt(1));
    EXPECT_EQ(list.findNode(Keyed{'z'}), nullptr);
}

TEST(davalList, JoiningCopiesAndIncludesItself)
{
    List a = make("ab"), b = make("c");
    List joined = a + b;
    EXPECT_EQ(contents(joined), "abc");
    EXPECT_EQ(contents(a), "ab");
    EXPECT_EQ(contents(b), "c");

    a += a;
    EXPECT_EQ(contents(a), "abab");
    a.copyFrom(a);
    EXPECT_EQ(contents(a), "abab");
    a += *b.first();
    EXPECT_EQ(contents(a), "ababc");
    b = a;
    a.removeAll();
    EXPECT_EQ(contents(b), "ababc");
}

} // namespace
