// The desktop's dialogs through zenity, run with an argument vector (no shell): its exit status tells
// the answer (0 yes or chosen, 1 no or cancelled) and the chosen file comes on its standard output.
#include "foundation/platform/podoPlatformShell.h"

#include <unistd.h>

#include <cstdlib>

namespace podo::platform {

namespace {

// "*.*" means every file, as on the system the patterns come from; letters match in either case, as
// file names there do.
std::string chooserPattern(const std::string &pattern)
{
    if (pattern == "*.*")
        return "*";
    std::string out;
    for (char c : pattern) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            char lower = char(c | 0x20), upper = char(c & ~0x20);
            out += '[';
            out += lower;
            out += upper;
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

// zenity splits a filter at "|" and its patterns at blanks.
std::string filterArgument(const std::pair<std::string, std::string> &filter)
{
    std::string name = filter.first;
    for (char &c : name)
        if (c == '|')
            c = '/';
    return "--file-filter=" + name + " | " + chooserPattern(filter.second);
}

void addOwner(std::vector<std::string> &arguments, uintptr_t owner)
{
    if (owner) {
        arguments.push_back("--attach=" + std::to_string(owner));
        arguments.push_back("--modal");
    }
}

} // namespace

bool findProgram(const std::string &name)
{
    const char *path = std::getenv("PATH");
    std::string folders = path ? path : "";
    for (size_t at = 0; at <= folders.size();) {
        size_t end = folders.find(':', at);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = folders.substr(at, end - at);
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0)
            return true;
        at = end + 1;
    }
    return false;
}

bool chooseFile(const FileChoice &choice, std::string &chosen)
{
    std::vector<std::string> arguments{"--file-selection"};
    if (choice.save)
        arguments.push_back("--save");
    arguments.push_back("--title=" + choice.title);
    if (!choice.proposedPath.empty())
        arguments.push_back("--filename=" + choice.proposedPath);
    for (const auto &filter : choice.filters)
        arguments.push_back(filterArgument(filter));
    addOwner(arguments, choice.owner);
    std::string output;
    if (runProgramOutput("zenity", arguments, output) != 0)
        return false;
    if (!output.empty() && output.back() == '\n')
        output.pop_back();
    if (output.empty())
        return false;
    chosen = output;
    return true;
}

int askQuestion(const std::string &title, const std::string &text, uintptr_t owner)
{
    std::vector<std::string> arguments{"--question", "--title=" + title, "--text=" + text, "--no-markup",
                                       "--default-cancel"};
    addOwner(arguments, owner);
    std::string output;
    switch (runProgramOutput("zenity", arguments, output)) {
    case 0:
        return 1;
    case 1:
        return 0;
    default:
        return -1;
    }
}

} // namespace podo::platform
