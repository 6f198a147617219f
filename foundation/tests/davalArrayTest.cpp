#include "foundation/davalArray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

template <class T>
std::vector<T> items(davalArray<T> &array)
{
    std::vector<T> out;
    for (int32_t i = 0; i < array.getCount(); ++i)
        out.push_back(*array.at(i));
    return out;
}

template <class A>
A make(const std::vector<int> &values)
{
    A array;
    for (int v : values)
        array.add(v);
    return array;
}

TEST(davalArray, GrowsByDoublingAndShrinksToCount)
{
    davalArray<int> array;
    std::vector<int> capacities;
    for (int i = 0; i < 5; ++i) {
        array.add(i * 10);
        capacities.push_back(array.getCapacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{1, 2, 4, 4, 8}));
    EXPECT_EQ(array.getCount(), 5);
    array.shrink();
    EXPECT_EQ(array.getCapacity(), 5);
    EXPECT_EQ(items(array), (std::vector<int>{0, 10, 20, 30, 40}));

    array.setCapacity(2);
    EXPECT_EQ(array.getCount(), 2);
    EXPECT_EQ(items(array), (std::vector<int>{0, 10}));

    array.reserve(3);
    EXPECT_EQ(array.getCapacity(), 4);
    EXPECT_EQ(array.removeAll(), 0);
    EXPECT_EQ(array.getCount(), 0);
    EXPECT_EQ(array.getCapacity(), 0);
}

TEST(davalArray, ResetKeepsElementsThatGrowShowsAgain)
{
    auto array = make<davalArray<int>>({7, 8, 9, 10});
    array.reset();
    EXPECT_EQ(array.getCount(), 0);
    EXPECT_EQ(array.getCapacity(), 4);
    array.grow(3);
    EXPECT_EQ(items(array), (std::vector<int>{7, 8, 9}));
}

// Long texts live on the heap, so the sanitizer sees a read of freed storage.
const std::string longText(int i)
{
    return std::string(40, static_cast<char>('a' + i));
}

TEST(davalArray, AddingItsOwnElementWhileFullIsSafe)
{
    davalArray<std::string> array;
    for (int i = 0; i < 4; ++i)
        array.add(longText(i));
    ASSERT_EQ(array.getCount(), array.getCapacity());
    array.add(*array.at(1));
    ASSERT_EQ(array.getCount(), 5);
    EXPECT_EQ(*array.at(4), longText(1));
}

TEST(davalArray, CopyAndAddIntoItself)
{
    davalArray<std::string> array;
    for (int i = 0; i < 3; ++i)
        array.add(longText(i));
    array.copyFrom(array);
    EXPECT_EQ(items(array), (std::vector<std::string>{longText(0), longText(1), longText(2)}));
    array.addAll(array);
    EXPECT_EQ(items(array), (std::vector<std::string>{longText(0), longText(1), longText(2), longText(0),
                                                      longText(1), longText(2)}));

    davalArray<std::string> copy;
    copy.add("old");
    copy.copyFrom(array);
    EXPECT_EQ(copy.getCapacity(), array.getCapacity());
    EXPECT_EQ(items(copy), items(array));
}

TEST(davalArray, PointerElementsAreCopiedNotOwned)
{
    int a = 1, b = 2, c = 3;
    davalArray<int *> array;
    array.add(&a).add(&b).add(&c);
    array.setCapacity(8);
    EXPECT_EQ(items(array), (std::vector<int *>{&a, &b, &c}));
    array.removeAll(); // frees only the pointer array; a, b and c are on the stack
    EXPECT_EQ(a + b + c, 6);
}

TEST(davalSortableArray, SearchByHalving)
{
    struct Case {
        std::vector<int> array;
        int value;
        int sorted;
        int nearest;
    };
    const Case cases[] = {
        {{10, 20, 30}, 25, -1, 2}, {{10, 20, 30}, 5, -1, 0},   {{10, 20, 30}, 20, 1, 1},
        {{10, 20, 30}, 10, 0, 0},  {{10, 20, 30}, 30, 2, 2},   {{10, 20, 30}, 35, -1, 2},
        {{10, 20}, 5, -1, 0},      {{10, 20}, 25, -1, 1},      {{10}, 10, 0, 0},
        {{}, 10, -1, -1},          {{1, 2, 3, 4, 5, 6, 7}, 6, 5, 5},
    };
    for (const Case &c : cases) {
        auto array = make<davalSortableArray<int>>(c.array);
        SCOPED_TRACE(testing::Message() << "count " << array.getCount() << " value " << c.value);
        EXPECT_EQ(array.findSorted(c.value), c.sorted);
        EXPECT_EQ(array.findNearest(c.value), c.nearest);
    }
}

TEST(davalSortableArray, SortBothWaysAndCompare)
{
    auto array = make<davalSortableArray<int>>({2, 1, 3, 2});
    array.sort(true);
    EXPECT_EQ(items(array), (std::vector<int>{1, 2, 2, 3}));
    array.sort(false);
    EXPECT_EQ(items(array), (std::vector<int>{3, 2, 2, 1}));

    auto same = make<davalSortableArray<int>>({3, 2, 2, 1});
    auto prefix = make<davalSortableArray<int>>({3, 2, 2});
    EXPECT_TRUE(array == same);
    EXPECT_TRUE(array != prefix);
    EXPECT_FALSE(prefix.isEqual(array));

    EXPECT_EQ(array.find(2, 0), 1);
    EXPECT_EQ(array.find(2, 2), 2);
    EXPECT_EQ(array.find(2, 3), -1);
    EXPECT_EQ(array.find(9, 0), -1);
}

// Claims to be less than everything, itself included: no consistent order.
struct Contrary {
    int id = 0;
    bool operator==(const Contrary &) const { return false; }
    bool operator>(const Contrary &) const { return false; }
};

TEST(davalSortableArray, SortStaysInsideTheArrayWithAnInconsistentOrder)
{
    davalSortableArray<Contrary> array;
    for (int i = 0; i < 200; ++i)
        array.add(Contrary{i});
    array.sort(true);
    array.sort(false);
    std::vector<bool> seen(200);
    for (int i = 0; i < array.getCount(); ++i)
        seen.at(array.at(i)->id) = true;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 200);
}

} // namespace
