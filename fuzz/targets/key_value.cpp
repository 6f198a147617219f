// "key = value" text files (a skin's colour list): any bytes through the loader under a comment
// character and inline stripping the input chooses, then the pairs saved and loaded again; the
// same bytes as a skin's image list.
//
// What must hold: every pair loaded is one the saver writes and the loader gives back
// unchanged (unique keys, nothing that would be trimmed, split or taken as a comment); the
// image list holds trimmed, non-empty names without line ends.
#include "editor-framework/podoSkin.h"
#include "foundation/podoFileCFG.h"
#include "fuzz/FuzzSupport.h"

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs listed(podoFileCFG::PairList &list)
{
    Pairs out;
    for (auto *node = list.first(); node; node = node->next)
        out.emplace_back(node->value.first.getNarrow(), node->value.second.getNarrow());
    return out;
}

bool blankAtEnds(const std::string &s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    return !s.empty() && (blank(s.front()) || blank(s.back()));
}

Pairs load(const std::string &path, char comment, bool strip, podoFileCFG::PairList &list)
{
    podoFileCFG file(podoStr(path.c_str()));
    FUZZ_CHECK(file.isOpen());
    file.setCommentChar(comment, strip);
    FUZZ_CHECK(file.load(&list));
    return listed(list);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string folder = fuzz::freshFolder("key-value");
    if (size == 0)
        return 0;
    const char comment = (data[0] & 0x80) ? ';' : static_cast<char>(data[0] & 0x7F);
    const bool strip = (data[0] & 0x40) != 0;
    const std::string path = folder + "colors.txt";
    fuzz::writeFile(path, data + 1, size - 1);

    podoFileCFG::PairList list;
    const Pairs pairs = load(path, comment, strip, list);
    for (size_t i = 0; i < pairs.size(); ++i) {
        const auto &[key, value] = pairs[i];
        for (size_t k = 0; k < i; ++k)
            FUZZ_CHECK(pairs[k].first != key);
        FUZZ_CHECK(key.find_first_of("=\r\n") == std::string::npos && value.find_first_of("\r\n") == std::string::npos);
        FUZZ_CHECK(!blankAtEnds(key) && !blankAtEnds(value));
        FUZZ_CHECK(key.empty() || key[0] != comment);
        if (strip && comment != '\0')
            FUZZ_CHECK(key.find(comment) == std::string::npos && value.find(comment) == std::string::npos);
    }

    // Saved whole, and loaded back the same.
    const std::string copy = folder + "copy.txt";
    {
        podoFileCFG out(podoStr(copy.c_str()));
        FUZZ_CHECK(out.reopen(podoFileFlags::write | podoFileFlags::create) == 0);
        out.setCommentChar(comment, strip);
        FUZZ_CHECK(out.save(&list));
        out.close();
    }
    podoFileCFG::PairList again;
    FUZZ_CHECK(load(copy, comment, strip, again) == pairs);

    davalArrayString names;
    FUZZ_CHECK(readImageNames(podoStr(path.c_str()), names));
    for (int32_t i = 0; i < names.getCount(); ++i) {
        const std::string name = names.at(i)->getNarrow();
        FUZZ_CHECK(!name.empty() && !blankAtEnds(name) && name.find_first_of("\r\n") == std::string::npos);
    }
    return 0;
}
