// What every fuzz target shares: a check that stops the run with the failing property, a
// temporary home for the whole process, and a small sound library written through the bank
// writers for the targets that drive a whole instance.
#pragma once

#include "banks/BankFile.h"

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// Reads a fuzz input front to back in the machine's order; past the end every read gives zero
// bytes, so any input is a complete one. Seeds are written with Output in the same layout.
class Input
{
public:
    Input(const uint8_t *data, size_t size) : data(data), size(size) {}
    size_t remaining() const { return size - position; }
    bool empty() const { return position >= size; }
    template <typename T> T read()
    {
        T value{};
        take(&value, sizeof value);
        return value;
    }
    uint8_t u8() { return read<uint8_t>(); }
    uint16_t u16() { return read<uint16_t>(); }
    uint32_t u32() { return read<uint32_t>(); }
    int32_t i32() { return read<int32_t>(); }
    float f32() { return read<float>(); }
    double f64() { return read<double>(); }
    // Up to count bytes (fewer at the end).
    std::vector<uint8_t> bytes(size_t count);
    // A text of up to maxLength bytes, as given: a length byte, then the bytes.
    std::string text(size_t maxLength);

private:
    void take(void *out, size_t count);
    const uint8_t *data;
    size_t size;
    size_t position = 0;
};

class Output
{
public:
    template <typename T> Output &put(T value)
    {
        const auto *p = reinterpret_cast<const uint8_t *>(&value);
        out.insert(out.end(), p, p + sizeof value);
        return *this;
    }
    Output &u8(uint8_t v) { return put(v); }
    Output &u16(uint16_t v) { return put(v); }
    Output &u32(uint32_t v) { return put(v); }
    Output &i32(int32_t v) { return put(v); }
    Output &f32(float v) { return put(v); }
    Output &f64(double v) { return put(v); }
    Output &bytes(const std::vector<uint8_t> &b)
    {
        out.insert(out.end(), b.begin(), b.end());
        return *this;
    }
    Output &text(const std::string &t)
    {
        u8(static_cast<uint8_t>(t.size()));
        out.insert(out.end(), t.begin(), t.begin() + static_cast<long>(std::min<size_t>(t.size(), 255)));
        return *this;
    }
    std::vector<uint8_t> out;
};

// Prints where and what, then aborts: libFuzzer keeps the input as a crash.
[[noreturn]] void fail(const char *file, int line, const char *what);

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : ::fuzz::fail(__FILE__, __LINE__, #condition))

// Points HOME, the XDG folders and the registry store at a fresh folder under the temporary
// folder, once per process; the folder is removed when the process ends normally. Returns it.
const std::string &temporaryHome();

// A fresh, empty folder inside the temporary home (path ending with '/').
std::string freshFolder(const std::string &name);

// Writes a file whole; false when it cannot.
bool writeFile(const std::string &path, const uint8_t *data, size_t size);
bool writeFile(const std::string &path, const std::vector<uint8_t> &bytes);
// A file's bytes whole; empty when it cannot be read.
std::vector<uint8_t> readFile(const std::string &path);

// Writes a small factory library (samples, a melody and a drum wavetable category answering
// every wave number, a patch category) into a folder of the temporary home, or leaves that
// folder empty when withBanks is false, and records it as the application folder in the
// registry store. Once per process (later calls return the same folder); returns the folder.
const std::string &installSoundLibrary(bool withBanks = true);

// The user folder an instance resolves in the temporary home (ending with '/').
std::string userFolder();

// Where the bank loaders' messages go during a run: counted, never shown.
class CountingReport : public banks::BankReport
{
public:
    void logLine(int, bool, const podoStr &) override { ++lines; }
    void showError(const podoStr &, const podoStr &) override { ++boxes; }
    void clear() { lines = boxes = 0; }
    int lines = 0;
    int boxes = 0;
};

// A loader setup for a folder (ending with '/') in this machine's byte order.
banks::BankLoadSetup loadSetup(const std::string &folder, banks::BankReport *report);

// True when every sample is finite and within +-limit.
bool allFiniteWithin(const float *samples, size_t count, float limit);

} // namespace fuzz
