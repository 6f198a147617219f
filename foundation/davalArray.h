#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

// A growing array that owns copies of its elements.
// Invariants: 0 <= count <= capacity; storage holds capacity default-constructed
// elements (none when capacity is 0); elements past count exist and keep what they
// last held, so reset() followed by grow() shows the old values again.
// An element type supplies a default constructor, copy assignment and a destructor.
// Indexes are the caller's duty: at() checks nothing.
template <class T>
class davalArray
{
public:
    davalArray() = default;
    davalArray(const davalArray &other) { copyFrom(other); }
    davalArray &operator=(const davalArray &other) { return copyFrom(other); }
    virtual ~davalArray() { delete[] storage; }

    virtual int32_t removeAll()
    {
        delete[] storage;
        storage = nullptr;
        count = 0;
        capacity = 0;
        return 0;
    }

    virtual void reset() { count = 0; }

    virtual T *at(int32_t index) { return storage + index; }

    virtual davalArray &copyFrom(const davalArray &other)
    {
        if (&other == this)
            return *this;
        removeAll();
        setCapacity(other.capacity);
        return addAll(other);
    }

    virtual davalArray &addAll(const davalArray &other)
    {
        // Room first, then index-based copies: the source may be this array, whose
        // storage moves when it grows and whose count rises while we add.
        const int32_t n = other.count;
        reserve(count + n);
        for (int32_t i = 0; i < n; ++i)
            storage[count++] = other.storage[i];
        return *this;
    }

    virtual davalArray &add(const T &element)
    {
        if (count < capacity) {
            storage[count++] = element;
            return *this;
        }
        // The element may live in the storage that growing frees (add(*at(i))).
        T copy;
        copy = element;
        reserve(count + 1);
        storage[count++] = std::move(copy);
        return *this;
    }

    virtual davalArray &grow(int32_t n)
    {
        reserve(count + n);
        count += n;
        return *this;
    }

    virtual int32_t getCount() const { return count; }
    virtual int32_t getCapacity() const { return capacity; }

    virtual davalArray &setCapacity(int32_t n)
    {
        if (n == capacity)
            return *this;
        count = std::min(count, n);
        T *fresh = n > 0 ? new T[n]() : nullptr;
        for (int32_t i = 0; i < count; ++i)
            fresh[i] = std::move(storage[i]);
        delete[] storage;
        storage = fresh;
        capacity = n;
        return *this;
    }

    // Doubles the capacity (from 1 when empty) until n elements fit.
    virtual davalArray &reserve(int32_t n)
    {
        if (n <= capacity)
            return *this;
        int64_t grown = capacity > 0 ? capacity : 1;
        while (grown < n)
            grown *= 2;
        return setCapacity(static_cast<int32_t>(std::min<int64_t>(grown, INT32_MAX)));
    }

    virtual davalArray &shrink() { return setCapacity(count); }

    const T *at(int32_t index) const { return storage + index; }

protected:
    T *storage = nullptr;
    int32_t count = 0;
    int32_t capacity = 0;
};

// Adds the operations that need only the elements' ==.
template <class T>
class davalDiffArray : public davalArray<T>
{
public:
    virtual bool isEqual(const davalDiffArray &other) const
    {
        if (this->count != other.count)
            return false;
        for (int32_t i = 0; i < this->count; ++i)
            if (!(this->storage[i] == other.storage[i]))
                return false;
        return true;
    }

    virtual bool operator==(const davalDiffArray &other) const { return isEqual(other); }
    virtual bool operator!=(const davalDiffArray &other) const { return !isEqual(other); }

    // Index of the first element == value at or after start, else -1.
    virtual int32_t find(const T &value, int32_t start) const
    {
        for (int32_t i = std::max<int32_t>(start, 0); i < this->count; ++i)
            if (this->storage[i] == value)
                return i;
        return -1;
    }
};

// Adds sorting and search by halving through the elements' == and >.
template <class T>
class davalSortableArray : public davalDiffArray<T>
{
public:
    // Stable merge sort over an index table: it stays inside the array even when the
    // elements' order is not consistent (natural-order text comparisons need not be).
    virtual void sort(bool ascending)
    {
        const int32_t n = this->count;
        if (n < 2)
            return;
        T *items = this->storage;
        std::unique_ptr<int32_t[]> order(new int32_t[n]);
        for (int32_t i = 0; i < n; ++i)
            order[i] = i;
        std::stable_sort(order.get(), order.get() + n, [&](int32_t a, int32_t b) {
            return ascending ? compare(items[a], items[b]) < 0 : compare(items[b], items[a]) < 0;
        });
        std::unique_ptr<T[]> sorted(new T[n]());
        for (int32_t i = 0; i < n; ++i)
            sorted[i] = std::move(items[order[i]]);
        for (int32_t i = 0; i < n; ++i)
            items[i] = std::move(sorted[i]);
    }

    // Index of an element == value in an ascending array, else -1.
    virtual int32_t findSorted(const T &value) const
    {
        if (this->count == 0)
            return -1;
        int32_t low = 0, high = this->count - 1;
        while (low <= high) {
            const int32_t middle = low + (high - low) / 2;
            if (this->storage[middle] == value)
                return middle;
            if (low == high)
                return -1;
            if (this->storage[middle] > value)
                high = middle - 1;
            else
                low = middle + 1;
        }
        return -1;
    }

    // Where the search by halving stops: the match, or the last element probed next
    // to where the value belongs; -1 only for an empty array.
    virtual int32_t findNearest(const T &value) const
    {
        if (this->count == 0)
            return -1;
        int32_t low = 0, high = this->count - 1;
        while (low <= high) {
            const int32_t middle = low + (high - low) / 2;
            if (this->storage[middle] == value || low == high)
                return middle;
            if (this->storage[middle] > value)
                high = middle - 1;
            else
                low = middle + 1;
        }
        return low;
    }

private:
    static int compare(const T &a, const T &b)
    {
        if (a == b)
            return 0;
        return a > b ? 1 : -1;
    }
};
