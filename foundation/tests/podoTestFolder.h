#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// A fresh folder under the system's temporary folder, removed with its contents
// when the test ends.
class podoTestFolder
{
public:
    podoTestFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorix-test-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            root = pattern;
    }
    ~podoTestFolder()
    {
        std::error_code ignored;
        if (!root.empty())
            std::filesystem::remove_all(root, ignored);
    }
    podoTestFolder(const podoTestFolder &) = delete;
    podoTestFolder &operator=(const podoTestFolder &) = delete;

    // The path of a name inside the folder, joined with '/'.
    std::string path(const std::string &name) const { return root.string() + "/" + name; }

    void write(const std::string &name, const std::string &bytes) const
    {
        std::ofstream out(path(name), std::ios::binary);
        out << bytes;
    }

    std::string read(const std::string &name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path root;
};
