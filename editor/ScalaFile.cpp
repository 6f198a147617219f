#include "editor/ScalaFile.h"

#include "engine/ParameterText.h"
#include "engine/ProgramBlock.h"
#include "engine/Temperaments.h"
#include "engine/Quorix.h"
#include "foundation/podoFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace scalaFile {

namespace {

constexpr double centsPerLog = 1731.2340490667561; // 1200 / ln 2

std::string fileNameOf(const std::string &path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string trimmed(const std::string &text)
{
    const char *const blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The pitch of one line in cents: a number with a "." is cents, anything else a ratio "n/d" or "n".
double pitchCents(const std::string &line)
{
    const char *text = line.c_str();
    if (line.find('.') != std::string::npos)
        return std::strtod(text, nullptr);
    double ratio;
    const size_t slash = line.find('/');
    if (slash != std::string::npos) {
        const double numerator = slash == 0 ? 1.0 : std::strtod(text, nullptr);
        const double denominator = std::strtod(text + slash + 1, nullptr);
        ratio = numerator / denominator;
    } else {
        ratio = std::strtod(text, nullptr);
    }
    return std::log(ratio) * centsPerLog;
}

// Whole cents from the equal-tempered pitch k x 100, held to -50..+50; an interval that is no pitch at
// all (zero, negative, a zero denominator) stays on the equal-tempered pitch.
int32_t offsetOf(double cents, int32_t k)
{
    if (!std::isfinite(cents))
        return 0;
    const double offset = std::round(cents) - 100.0 * k;
    return int32_t(std::clamp(offset, -50.0, 50.0));
}

} // namespace

int32_t writeScalaFile(Quorix *engine, const podoStr &path)
{
    if (!engine)
        return 3;
    TuningBlock tuning{};
    engine->getTuningBlock(&tuning);
    const int32_t t = std::clamp(tuning.temperament, 0, 15);
    podoFile file;
    if (file.open(path, podoFileFlags::write | podoFileFlags::create | podoFileFlags::textStream) != 0)
        return 3;
    file.printf("! %s\n", fileNameOf(path.getNarrow()).c_str());
    file.printf("!\n");
    if (t < 8)
        file.printf("%s ", engine::temperamentNames[t]);
    file.printf("(exported by %s %s)\n", "Kestrane", "Quorix");
    file.printf("!\n");
    file.printf(" %d\t\tthe number of notes\n", 12);
    file.printf("!\n");
    for (int32_t n = 1; n <= 12; ++n)
        file.printf(" %4d.0\t%s\n", 100 * n + tuning.offsets[n % 12], engine::noteNames[n % 12]);
    const bool failed = file.getError() != 0;
    return file.close() == 0 && !failed ? 0 : 3;
}

int32_t readScalaFile(Quorix *engine, const podoStr &path)
{
    if (!engine)
        return 1;
    TuningBlock tuning{};
    engine->getTuningBlock(&tuning);
    if (tuning.temperament < 8)
        return 1;
    podoFile file;
    if (file.open(path, podoFileFlags::read | podoFileFlags::textStream) != 0)
        return 3;
    for (int32_t p = 0; p < 12; ++p)
        engine->setTuningOffset(p, 0);
    int32_t lines = 0, pitches = 0, declared = 1;
    podoStr line;
    while (!file.isEnd() && pitches < std::min(declared, 12)) {
        if (file.readLine(&line) == 0)
            continue; // empty lines are not counted
        const std::string text = trimmed(std::string(line.getNarrow()));
        if (!text.empty() && text[0] == '!')
            continue;
        if (lines == 1) {
            if (!text.empty())
                declared = int32_t(std::clamp(std::strtol(text.c_str(), nullptr, 10), -1L, 1000L));
        } else if (lines >= 2 && !text.empty()) {
            ++pitches;
            engine->setTuningOffset(pitches % 12, offsetOf(pitchCents(text), pitches));
        }
        ++lines;
    }
    file.close();
    return 0;
}

} // namespace scalaFile
