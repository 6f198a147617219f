#include "foundation/davalArrayString.h"
#include "foundation/davalList.h"
#include "foundation/davalPair.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> texts(davalArrayString &array)
{
    std::vector<std::string> out;
    for (int32_t i = 0; i < array.getCount(); ++i)
        out.emplace_back(array.at(i)->getNarrow());
    return out;
}

TEST(davalArrayString, SortsAndSearchesInNaturalOrder)
{
    davalArrayString names;
    for (const char *name : {"track10", "b", "track9", "B", "a"})
        names.add(podoStr(name));
    names.sort(true);
    EXPECT_EQ(texts(names), (std::vector<std::string>{"B", "a", "b", "track9", "track10"}));
    EXPECT_EQ(names.findSorted(podoStr("track10")), 4);
    EXPECT_EQ(names.findSorted(podoStr("track1")), -1);
    EXPECT_EQ(names.findNearest(podoStr("c")), 3);
    EXPECT_EQ(names.find(podoStr("b"), 0), 2);
    names.sort(false);
    EXPECT_EQ(texts(names), (std::vector<std::string>{"track10", "track9", "b", "a", "B"}));

    // Adding its own element while full copies it before the storage moves.
    names.shrink();
    names.add(*names.at(0));
    EXPECT_STREQ(names.at(5)->getNarrow(), "track10");
}

TEST(davalPairString, ComparesByKeyAndPrints)
{
    const podoStr gain("gain"), three("3");
    const davalPairString pair(gain, three);
    EXPECT_STREQ(pair.toString().getNarrow(), "gain, 3");
    EXPECT_TRUE(pair.toText().isEmpty());

    const davalPairString sameKey(&gain, nullptr);
    EXPECT_TRUE(pair == sameKey);
    EXPECT_TRUE(sameKey.second.isEmpty());
    const davalPairString later(podoStr("level"), podoStr("1"));
    EXPECT_TRUE(pair < later && pair <= later && later > pair && later >= pair && pair != later);
    const davalPairString copy(later);
    EXPECT_STREQ(copy.toString().getNarrow(), "level, 1");
}

TEST(davalPairString, ListOfPairsKeepsInsertionOrderForEqualKeys)
{
    davalList<davalPairString> list;
    const auto pair = [](const char *key, const char *value) { return davalPairString(podoStr(key), podoStr(value)); };
    list.add(pair("b", "1"));
    list.add(pair("d", "1"));
    for (const auto &p : {pair("a", "1"), pair("c", "1"), pair("b", "2"), pair("e", "1")})
        list.insertSorted(p);
    davalListNode<davalPairString> anchor(pair("b", "x"));
    list.insertAfter(anchor, pair("b", "3")); // after the first "b"
    std::string all;
    for (auto *node = list.first(); node; node = node->next)
        all += std::string(node->value.toString().getNarrow()) + ";";
    EXPECT_EQ(all, "a, 1;b, 1;b, 3;b, 2;c, 1;d, 1;e, 1;");
}

} // namespace
