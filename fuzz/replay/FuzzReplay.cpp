// The main of a fuzz target in the sanitized g++ build, where the test run checks the input
// readers: every input of the files and folders named runs once through the target (the empty
// input first), then, for --mutate-seconds, inputs made from them by small random changes. No
// coverage guides the changes (that is the libFuzzer build's work); the random sequence starts
// from a fixed point, so a failure comes back on the next run. The input that fails is written to
// the --artifact file before the process ends, for the libFuzzer build to take up. Leaks are the
// libFuzzer build's to find (it checks input by input): the targets keep process-wide hosts and
// libraries to the end, which a check at exit would report.
#include <sanitizer/common_interface_defs.h>
#include <sanitizer/lsan_interface.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

// What runs now, and where it goes when the run dies on it.
std::vector<uint8_t> current;
std::string artifact = "fuzz-failure";
std::string described;

// Set once every input ran: what follows is the process's own end.
volatile sig_atomic_t finished = 0;

void keepCurrent()
{
    static volatile sig_atomic_t kept = 0;
    if (kept || finished)
        return;
    kept = 1;
    const int fd = ::open(artifact.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        size_t done = 0;
        while (done < current.size()) {
            const ssize_t n = ::write(fd, current.data() + done, current.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        ::close(fd);
    }
    const char *lines[] = {"\n*** failing input (", described.c_str(), ") written to ", artifact.c_str(), "\n"};
    for (const char *line : lines)
        if (::write(2, line, std::strlen(line)) < 0)
            break;
}

void onAbort(int)
{
    keepCurrent();
    std::signal(SIGABRT, SIG_DFL);
    std::raise(SIGABRT);
}

void run(const std::vector<uint8_t> &input, std::string what)
{
    described = std::move(what);
    current = input;
    // The target sees a buffer of exactly the input's size, so a read past its end is caught.
    std::vector<uint8_t> exact(input);
    exact.shrink_to_fit();
    LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
}

bool readInputs(const std::filesystem::path &path, std::vector<std::vector<uint8_t>> &inputs,
                std::vector<std::string> &names)
{
    std::error_code error;
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(path, error)) {
        for (const auto &entry : std::filesystem::recursive_directory_iterator(path, error))
            if (entry.is_regular_file())
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
    } else if (std::filesystem::is_regular_file(path, error)) {
        files.push_back(path);
    } else {
        std::fprintf(stderr, "fuzz replay: no file or folder %s\n", path.c_str());
        return false;
    }
    for (const auto &file : files) {
        std::ifstream in(file, std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) {
            std::fprintf(stderr, "fuzz replay: cannot read %s\n", file.c_str());
            return false;
        }
        names.push_back(file.string());
    }
    return true;
}

// One to four small changes of the kinds that find a reader's faults: bits and bytes changed,
// the edges of the integer ranges written, bytes inserted, removed or repeated, the input cut
// short, or joined with part of another input.
std::vector<uint8_t> mutate(std::vector<uint8_t> input, const std::vector<uint8_t> &other, std::mt19937 &random)
{
    auto below = [&random](size_t n) { return n == 0 ? size_t(0) : size_t(random() % n); };
    static const uint32_t edges[] = {0u, 1u, 0x7Fu, 0x80u, 0xFFu, 0x7FFFu, 0x8000u, 0xFFFFu,
                                     0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x10000u, 16u, 64u, 256u};
    const int changes = 1 + static_cast<int>(below(4));
    for (int c = 0; c < changes; ++c) {
        switch (below(8)) {
        case 0:
            if (!input.empty())
                input[below(input.size())] ^= static_cast<uint8_t>(1u << below(8));
            break;
        case 1:
            if (!input.empty())
                input[below(input.size())] = static_cast<uint8_t>(random());
            break;
        case 2:
            if (input.size() >= 4) {
                const uint32_t value = edges[below(std::size(edges))];
                std::memcpy(&input[below(input.size() - 3)], &value, 4);
            } else if (!input.empty()) {
                input[below(input.size())] = static_cast<uint8_t>(edges[below(std::size(edges))]);
            }
            break;
        case 3: {
            const size_t at = below(input.size() + 1), count = 1 + below(16);
            for (size_t i = 0; i < count; ++i)
                input.insert(input.begin() + static_cast<long>(at), static_cast<uint8_t>(random()));
            break;
        }
        case 4:
            if (!input.empty()) {
                const size_t at = below(input.size()), count = 1 + below(std::min<size_t>(input.size() - at, 64));
                input.erase(input.begin() + static_cast<long>(at), input.begin() + static_cast<long>(at + count));
            }
            break;
        case 5:
            if (!input.empty() && input.size() < (1u << 20)) {
                const size_t at = below(input.size()), count = 1 + below(std::min<size_t>(input.size() - at, 256));
                const std::vector<uint8_t> part(input.begin() + static_cast<long>(at),
                                                input.begin() + static_cast<long>(at + count));
                input.insert(input.begin() + static_cast<long>(below(input.size() + 1)), part.begin(), part.end());
            }
            break;
        case 6:
            input.resize(below(input.size() + 1));
            break;
        default:
            if (!other.empty()) {
                const size_t from = below(other.size());
                input.resize(below(input.size() + 1));
                input.insert(input.end(), other.begin() + static_cast<long>(from), other.end());
            }
            break;
        }
    }
    return input;
}

} // namespace

int main(int argc, char **argv)
{
    double seconds = 0.0;
    unsigned seed = 1;
    std::vector<std::vector<uint8_t>> inputs;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--mutate-seconds=", 0) == 0) {
            seconds = std::stod(arg.substr(17));
        } else if (arg.rfind("--seed=", 0) == 0) {
            seed = static_cast<unsigned>(std::stoul(arg.substr(7)));
        } else if (arg.rfind("--artifact=", 0) == 0) {
            artifact = arg.substr(11);
        } else if (arg.rfind("-", 0) == 0) {
            std::fprintf(stderr, "usage: %s [--mutate-seconds=S] [--seed=N] [--artifact=FILE] FILE|FOLDER...\n",
                         argv[0]);
            return 2;
        } else if (!readInputs(arg, inputs, names)) {
            return 2;
        }
    }
    __lsan_disable();
    __sanitizer_set_death_callback(keepCurrent);
    std::signal(SIGABRT, onAbort);

    run({}, "the empty input");
    for (size_t i = 0; i < inputs.size(); ++i)
        run(inputs[i], names[i]);

    long changed = 0;
    if (!inputs.empty() && seconds > 0.0) {
        std::mt19937 random(seed);
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            const size_t from = static_cast<size_t>(changed) % inputs.size();
            const std::vector<uint8_t> &other = inputs[random() % inputs.size()];
            run(mutate(inputs[from], other, random),
                "change " + std::to_string(changed) + " of " + names[from] + ", --seed=" + std::to_string(seed));
            ++changed;
        }
    }
    finished = 1;
    std::printf("%zu inputs and %ld changed inputs passed\n", inputs.size() + 1, changed);
    return 0;
}
