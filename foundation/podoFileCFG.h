#pragma once

#include "foundation/davalList.h"
#include "foundation/davalPair.h"
#include "foundation/podoFile.h"

// A text file of "key = value" lines (UTF-8), such as a skin's colour list. The
// pairs live in memory in file order: load fills them, get and set work on them,
// save writes them back. Keys match exactly (case-sensitive).
//
// Line rules on reading: blanks, tabs, CRs and LFs around a line, a key and a value
// are dropped; a line whose first character is the comment character is ignored;
// with inline stripping on, text from a later comment character on is ignored; the
// first '=' divides key and value; a line without one is ignored; a repeated key
// replaces the earlier value and keeps its place.
//
// Every list argument may be null, meaning the object's own pairs.
class podoFileCFG : public podoFile
{
public:
    using PairList = davalList<davalPairString>;

    // Opens the path for reading; the result is the last error (isOpen tells a
    // missing file apart). The path is kept for reopen even when this open fails.
    explicit podoFileCFG(const podoStr &path);
    ~podoFileCFG() override;

    uint32_t open(const podoStr &path, uint32_t flags, bool stream = false) override;
    // Opens the path given to the constructor (or to the last open) again, so that
    // reopen(6) creates a file that was missing.
    uint32_t reopen(uint32_t flags) override;

    virtual void setCommentChar(char c, bool stripInline);
    // False when the last open did not ask for read access; a file that could not
    // be opened reads as empty and gives true.
    virtual bool load(PairList *pairs = nullptr);
    // False when the last open did not ask for write access or failed, or when a
    // pair was skipped because loading could not give it back (a line end in it,
    // '=' or a leading comment character in the key, blanks or tabs at either end,
    // a comment character while inline stripping is on) or a line was not written
    // whole. Nothing is escaped. A pair whose key is the comment character alone is
    // written as a comment line.
    virtual bool save(PairList *pairs = nullptr);
    // True and the value copied when the key is present; the value is untouched
    // otherwise.
    virtual bool get(const podoStr &key, podoStr &value, PairList *pairs = nullptr);
    // True when an existing value was replaced, false when the pair was appended.
    virtual bool set(const podoStr &key, const podoStr &value, PairList *pairs = nullptr);

protected:
    PairList pairs;
    char commentChar = ';';
    bool stripInline = true;

private:
    podoStr configPath; // the path of the last open asked for, whether or not it succeeded
};
