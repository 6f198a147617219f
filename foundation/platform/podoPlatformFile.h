#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// File and folder services of the operating system. Paths are UTF-8 and may use
// '/' or '\' as separators. Error codes are the system's own (0 = none).
namespace podo::platform {

using FileHandle = intptr_t;
constexpr FileHandle noFile = -1;

enum class FileShare {
    read, // others may read, nobody may write
    none, // nobody else may open the file
    all   // no restriction
};

enum class FileDisposition {
    openExisting, // fails when the file is missing
    createAlways, // creates or truncates
    openAlways    // creates when missing, keeps the contents otherwise
};

struct FileOpenRequest {
    bool read = false;
    bool write = false;
    bool append = false; // every write goes to the end of the file
    FileDisposition disposition = FileDisposition::openExisting;
    FileShare share = FileShare::read;
    bool readOnly = false; // a created file gets the read-only attribute
    bool hidden = false;   // a created file gets the hidden attribute where the system has one
    // When the exact name is missing, open an entry of the same folder whose name
    // differs only in the case of ASCII letters (the first in byte order).
    bool anyCase = false;
};

// 0 and the handle, or the system's error code.
uint32_t openFile(const char *path, const FileOpenRequest &request, FileHandle &handle);
uint32_t closeFile(FileHandle handle);
// Bytes moved (fewer at the end of the file), or -1 with the error code.
int64_t readFile(FileHandle handle, void *buffer, size_t size, uint32_t &error);
int64_t writeFile(FileHandle handle, const void *data, size_t size, uint32_t &error);
// Commits the file's data to the disk.
uint32_t commitFile(FileHandle handle);
// origin: 0 start, 1 current, 2 end. The new position, or -1 with the error code.
int64_t seekFile(FileHandle handle, int64_t offset, int origin, uint32_t &error);
int64_t fileSize(FileHandle handle, uint32_t &error);

// Creates a folder and every missing parent; 0 when it exists afterwards.
uint32_t createFolders(const char *path);

void sleepMilliseconds(uint32_t milliseconds);

// Asks the system to back a fresh buffer with memory at once, in one call, before a file is read
// into it: faulting its pages in one by one during the read costs more than the read itself.
// Only a hint; nothing happens where the system cannot.
void prepareBuffer(void *buffer, size_t size);

// Attribute bits reported for folder entries.
constexpr uint32_t attributeFolder = 0x10000;
constexpr uint32_t attributeReadOnly = 0x20000;
constexpr uint32_t attributeHidden = 0x40000;

struct FolderEntry {
    std::string name; // without its folder, UTF-8
    uint32_t attributes = 0;
    uint64_t size = 0;
    // Local file times (see podoPlatformTime.h).
    int64_t creationTime = 0;
    int64_t writeTime = 0;
    int64_t accessTime = 0;
};

// Every entry of a folder in the order of the file system, "." and ".." included
// where the system lists them; false when the folder cannot be read.
bool listFolder(const char *folder, std::vector<FolderEntry> &entries);

} // namespace podo::platform
