#pragma once

#include <climits>
#include <cstdarg>
#include <cstddef>
#include <memory>
#include <new>

namespace podo {

// Collects formatted text: the first 1,024 units on the stack, then on the
// heap. Text beyond the 32-bit length limit is dropped.
template <typename Ch>
class TextSink
{
public:
    TextSink() = default;
    TextSink(const TextSink &) = delete;
    TextSink &operator=(const TextSink &) = delete;

    void put(Ch c)
    {
        if (count == capacity && !grow(count + 1))
            return;
        data[count++] = c;
    }
    void put(const Ch *text, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            put(text[i]);
    }
    void fill(Ch c, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            put(c);
    }
    const Ch *text() const { return data; }
    size_t size() const { return count; }

private:
    static constexpr size_t largest = INT_MAX - 1;

    bool grow(size_t need)
    {
        if (need > largest)
            return false;
        size_t next = capacity * 2 > largest ? largest : capacity * 2;
        if (next < need)
            next = need;
        Ch *bigger = new (std::nothrow) Ch[next];
        if (!bigger)
            return false;
        for (size_t i = 0; i < count; ++i)
            bigger[i] = data[i];
        heap.reset(bigger);
        data = bigger;
        capacity = next;
        return true;
    }

    Ch local[1024];
    Ch *data = local;
    size_t count = 0;
    size_t capacity = 1024;
    std::unique_ptr<Ch[]> heap;
};

// printf-style formatting with the rules of podoStr::format: numbers in the
// "C" conventions; in a narrow format %s/%c take narrow text and %S/%C UTF-16
// text, in a wide format the reverse; h forces narrow, l and w force wide. An
// unknown conversion is copied as it stands; %n writes nothing.
void formatText(TextSink<char> &out, const char *format, va_list args);
void formatText(TextSink<char16_t> &out, const char16_t *format, va_list args);

} // namespace podo
