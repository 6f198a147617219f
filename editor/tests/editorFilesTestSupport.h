// Helpers of the editor's file tests: a temporary home for the process (user folder, registry store),
// an engine instance with its program block and running state in reach, and file bytes.
#pragma once

#include "engine/Quorix.h"

#include <cstdint>
#include <string>
#include <vector>

namespace edfiles {

// A folder of its own under the test process's temporary home, removed with the object.
struct Folder {
    std::string path;
    Folder();
    ~Folder();
    std::string file(const std::string &name) const { return path + "/" + name; }
};

std::vector<uint8_t> readBytes(const std::string &file);
void writeBytes(const std::string &file, const std::vector<uint8_t> &bytes);
std::string readText(const std::string &file);

class Engine : public Quorix
{
public:
    Engine();
    using Quorix::programBlock;
    using Quorix::state;
    // The program block is packed: its values are copied, never referenced.
    float valueAt(int32_t index) const;
    void setValueAt(int32_t index, float value);
    std::vector<float> valuesAt(int32_t first, int32_t count) const;
};

} // namespace edfiles
