#pragma once

#include <cstdint>

template <class T>
class davalList;

// One node of a davalList: a copy of the value and the links to its neighbours.
template <class T>
class davalListNode
{
public:
    davalListNode() = default;
    explicit davalListNode(const T &v) { value = v; }
    davalListNode(const davalListNode &) = delete;
    virtual ~davalListNode() = default;

    // Assign the value only; the links stay.
    virtual T operator=(const davalListNode &other)
    {
        value = other.value;
        return value;
    }
    virtual T operator=(const T &v)
    {
        value = v;
        return value;
    }

    virtual bool operator==(const davalListNode &other) const { return value == other.value; }
    virtual bool operator==(const T &v) const { return value == v; }
    virtual bool operator!=(const davalListNode &other) const { return !(value == other.value); }
    virtual bool operator!=(const T &v) const { return !(value == v); }

    virtual void linkNext(davalListNode *node)
    {
        next = node;
        if (node)
            node->previous = this;
    }
    virtual void linkPrevious(davalListNode *node)
    {
        previous = node;
        if (node)
            node->next = this;
    }

    // Joins the neighbours and deletes this node. The list's head and tail are not
    // touched, so only inner nodes may go this way.
    virtual void unlinkAndDelete()
    {
        if (previous)
            previous->next = next;
        if (next)
            next->previous = previous;
        delete this;
    }

    T value{};
    davalListNode *previous = nullptr;
    davalListNode *next = nullptr;
};

// A doubly linked list that owns its nodes and each node its value.
// Invariants: head and tail are both null or both set; head has no previous and tail
// no next. An element type supplies a default constructor, copy assignment, == and >.
template <class T>
class davalList
{
public:
    using Node = davalListNode<T>;

    davalList() = default;
    davalList(const davalList &other) { copyFrom(other); }
    davalList &operator=(const davalList &other) { return copyFrom(other); }
    virtual ~davalList() { removeAll(); }

    virtual int32_t removeAll()
    {
        for (Node *node = head; node;) {
            Node *next = node->next;
            delete node;
            node = next;
        }
        head = tail = nullptr;
        return 0;
    }

    virtual void removeFirst() { remove(head); }
    virtual void removeLast() { remove(tail); }

    // Unlinks and deletes the node; returns the node that followed it.
    virtual Node *remove(Node *node)
    {
        if (!node)
            return nullptr;
        Node *next = node->next;
        if (node->previous)
            node->previous->next = next;
        else
            head = next;
        if (next)
            next->previous = node->previous;
        else
            tail = node->previous;
        delete node;
        return next;
    }

    virtual Node *nodeAt(int32_t index) const
    {
        if (index < 0)
            return nullptr;
        Node *node = head;
        while (node && index-- > 0)
            node = node->next;
        return node;
    }

    virtual T *at(int32_t index)
    {
        Node *node = nodeAt(index);
        return node ? &node->value : nullptr;
    }

    virtual davalList &copyFrom(const davalList &other)
    {
        if (&other == this)
            return *this;
        removeAll();
        return add(other);
    }

    virtual davalList operator+(const davalList &other) const
    {
        davalList joined(*this);
        joined.add(other);
        return joined;
    }

    virtual davalList &operator+=(const T &value) { return add(value); }
    virtual davalList &operator+=(const Node &node) { return add(node); }
    virtual davalList &operator+=(const davalList &other) { return add(other); }

    virtual davalList &add(const T &value)
    {
        Node *node = new Node(value);
        if (!tail) {
            head = tail = node;
        } else {
            tail->linkNext(node);
            tail = node;
        }
        return *this;
    }

    virtual davalList &add(const Node &node) { return add(node.value); }

    virtual davalList &add(const davalList &other)
    {
        // Stop at the tail the other list has now: it may be this list, which grows.
        Node *last = other.tail;
        for (Node *node = other.head; node; node = node->next) {
            add(node->value);
            if (node == last)
                break;
        }
        return *this;
    }

    // Inserts before the first node whose value is greater; equal values keep the
    // order of insertion, the new one last.
    virtual void insertSorted(const T &value)
    {
        Node *greater = head;
        while (greater && !(greater->value > value))
            greater = greater->next;
        if (!greater) {
            add(value);
            return;
        }
        Node *node = new Node(value);
        Node *before = greater->previous;
        node->linkNext(greater);
        if (before)
            before->linkNext(node);
        else
            head = node;
    }

    virtual void insertSorted(const Node &node) { insertSorted(node.value); }

    // Inserts a copy of value after the first node whose value == anchor's; nothing
    // when none matches. An empty list takes the value.
    virtual void insertAfter(const Node &anchor, const T &value)
    {
        if (!head) {
            add(value);
            return;
        }
        Node *match = findNode(anchor);
        if (!match)
            return;
        if (match == tail) {
            add(value);
            return;
        }
        Node *node = new Node(value);
        Node *after = match->next;
        match->linkNext(node);
        node->linkNext(after);
    }

    virtual void insertAfter(const Node &anchor, const Node &node) { insertAfter(anchor, node.value); }

    virtual Node *findNode(const T &value) const
    {
        for (Node *node = head; node; node = node->next)
            if (node->value == value)
                return node;
        return nullptr;
    }

    virtual Node *findNode(const Node &other) const { return findNode(other.value); }

    virtual int32_t getCount() const
    {
        int32_t n = 0;
        for (Node *node = head; node; node = node->next)
            ++n;
        return n;
    }

    Node *first() const { return head; }
    Node *last() const { return tail; }

protected:
    Node *head = nullptr;
    Node *tail = nullptr;
};
