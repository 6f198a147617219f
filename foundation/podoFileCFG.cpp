#include "foundation/podoFileCFG.h"

#include <string>
#include <string_view>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The key and value that one line gives; false when load ignores the line.
bool parseLine(std::string_view line, char comment, bool stripInline, std::string_view &key, std::string_view &value)
{
    line = trimmed(line);
    if (line.empty() || line.front() == comment)
        return false;
    if (stripInline) {
        const size_t at = line.find(comment);
        if (at != std::string_view::npos && at > 0)
            line = line.substr(0, at);
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = trimmed(line.substr(0, equals));
    value = trimmed(line.substr(equals + 1));
    return true;
}

podoStr fromView(std::string_view text)
{
    podoStr out;
    out.setNarrow(text.data(), static_cast<int>(text.size()));
    return out;
}

} // namespace

podoFileCFG::podoFileCFG(const podoStr &path)
{
    open(path, podoFileFlags::read);
}

podoFileCFG::~podoFileCFG()
{
    pairs.removeAll();
}

uint32_t podoFileCFG::open(const podoStr &path, uint32_t flags, bool stream)
{
    if (!isOpen() && &path != &configPath)
        configPath = path;
    return podoFile::open(path, flags, stream);
}

uint32_t podoFileCFG::reopen(uint32_t flags)
{
    close(false);
    const podoStr samePath(configPath);
    return open(samePath, flags, streamMode);
}

void podoFileCFG::setCommentChar(char c, bool strip)
{
    commentChar = c;
    stripInline = strip;
}

bool podoFileCFG::load(PairList *list)
{
    if (!(openFlags() & podoFileFlags::read))
        return false;
    // A file that could not be opened reads as empty; its open error stays.
    if (!isOpen())
        return true;
    PairList &target = list ? *list : pairs;
    podoStr line;
    while (!isEnd()) {
        const int32_t length = readLine(&line);
        if (length <= 0)
            continue;
        // A pair's texts end at a NUL byte, so the rest of such a line is never read: trimming
        // and splitting then act on what the pair keeps.
        std::string_view text(line.getNarrow(), static_cast<size_t>(length));
        text = text.substr(0, text.find('\0'));
        std::string_view key, value;
        if (parseLine(text, commentChar, stripInline, key, value))
            set(fromView(key), fromView(value), &target);
    }
    return true;
}

bool podoFileCFG::save(PairList *list)
{
    if (!(openFlags() & podoFileFlags::write) || !isOpen())
        return false;
    PairList &target = list ? *list : pairs;
    bool whole = true;
    for (auto *node = target.first(); node; node = node->next) {
        const std::string key(node->value.first.getNarrow());
        const std::string value(node->value.second.getNarrow());
        std::string body;
        bool readsBack = false;
        if (commentChar != 0 && key.size() == 1 && key[0] == commentChar) {
            // A comment line: load ignores it, so it only has to stay one line.
            body = key + ' ' + value;
            readsBack = body.find_first_of("\r\n") == std::string::npos;
        } else {
            // Written only when loading the line gives the same pair again.
            body = key + " = " + value;
            std::string_view readKey, readValue;
            readsBack = body.find_first_of("\r\n") == std::string::npos &&
                        parseLine(body, commentChar, stripInline, readKey, readValue) && readKey == key &&
                        readValue == value;
        }
        if (!readsBack) {
            whole = false;
            continue;
        }
        if (printf("%s\n", body.c_str()) != body.size() + 1)
            whole = false;
    }
    return whole;
}

bool podoFileCFG::get(const podoStr &key, podoStr &value, PairList *list)
{
    PairList &target = list ? *list : pairs;
    for (auto *node = target.first(); node; node = node->next)
        if (node->value.first == key) {
            value = node->value.second;
            return true;
        }
    return false;
}

bool podoFileCFG::set(const podoStr &key, const podoStr &value, PairList *list)
{
    PairList &target = list ? *list : pairs;
    for (auto *node = target.first(); node; node = node->next)
        if (node->value.first == key) {
            node->value.second = value;
            return true;
        }
    target.add(davalPairString(key, value));
    return false;
}
