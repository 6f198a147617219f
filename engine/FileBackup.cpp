#include "engine/FileBackup.h"

#include "foundation/podoFile.h"
#include "foundation/podoShell.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>

namespace engine {

namespace {

// Beyond this many backups in one second the last name is reused rather than looping on.
constexpr int32_t kMaxBackupsPerSecond = 1000;

} // namespace

podoStr backupFileName(const podoStr &path, const podoTime &when, int32_t serial)
{
    podoStr name;
    if (serial > 1)
        name.format("%s.%04d-%02d-%02d %02d-%02d-%02d %d.bak", path.getNarrow(), when.year, when.month, when.day,
                    when.hour, when.minute, when.second, serial);
    else
        name.format("%s.%04d-%02d-%02d %02d-%02d-%02d.bak", path.getNarrow(), when.year, when.month, when.day,
                    when.hour, when.minute, when.second);
    return name;
}

bool moveToBackup(const podoStr &path)
{
    if (!podo::pathExists(path))
        return false;
    const podoTime now = podo::getLocalTime();
    podoStr target;
    for (int32_t serial = 1; serial <= kMaxBackupsPerSecond; ++serial) {
        target = backupFileName(path, now, serial);
        if (!podo::pathExists(target))
            break;
    }
    return podo::moveFile(path, target);
}

uint32_t writeFileReplacing(const podoStr &path, const void *data, size_t size, bool backupOld)
{
    // Named per process and write, so that two writers of one file never share a temporary.
    static std::atomic<uint32_t> writes{0};
    podoStr temporary;
    temporary.format("%s.%d-%u.tmp", path.getNarrow(), static_cast<int>(getpid()), writes.fetch_add(1) + 1);
    podoFile file;
    uint32_t error = file.open(temporary, podoFileFlags::write | podoFileFlags::create);
    if (error != 0)
        return error;
    if (size > 0 && file.write(data, 1, size) != size)
        error = file.getError() != 0 ? file.getError() : 1;
    const uint32_t closed = file.close(true);
    if (error == 0)
        error = closed;
    if (error == 0 && backupOld && podo::pathExists(path) && !moveToBackup(path))
        error = 1;
    if (error == 0 && !podo::moveFile(temporary, path))
        error = 1;
    if (error != 0)
        podo::deleteFile(temporary);
    return error;
}

void removeStaleTemporaries(const podoStr &folder)
{
    if (folder.isEmpty())
        return;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder.getNarrow(), error)) {
        const std::string name = entry.path().filename().string();
        // NAME . digits - digits .tmp
        const size_t end = name.size() >= 4 ? name.size() - 4 : 0;
        if (end == 0 || name.compare(end, 4, ".tmp") != 0)
            continue;
        const size_t dash = name.rfind('-', end);
        const size_t dot = dash == std::string::npos ? std::string::npos : name.rfind('.', dash);
        if (dot == std::string::npos || dot == 0 || dash == dot + 1 || dash + 1 == end)
            continue;
        auto digits = [&](size_t from, size_t to) {
            for (size_t i = from; i < to; ++i)
                if (name[i] < '0' || name[i] > '9')
                    return false;
            return to - from <= 9;
        };
        if (!digits(dot + 1, dash) || !digits(dash + 1, end))
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(name.substr(dot + 1, dash - dot - 1)));
        if (pid > 0 && (kill(pid, 0) == 0 || errno != ESRCH))
            continue;
        std::filesystem::remove(entry.path(), error);
    }
}

} // namespace engine
