#include "foundation/platform/podoPlatformFile.h"

#include "foundation/platform/podoPlatformTime.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace podo::platform {
namespace {

// Callers may still write '\' between folders; this system takes only '/'.
std::string nativePath(const char *path)
{
    std::string p = path ? path : "";
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCase(const std::string &a, const std::string &b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

// The path of an entry that differs from the last component only in case, or "".
std::string findAnyCase(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty())
        return {};
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return {};
    std::vector<std::string> matches;
    while (const dirent *entry = readdir(dir))
        if (equalNoCase(entry->d_name, name))
            matches.emplace_back(entry->d_name);
    closedir(dir);
    if (matches.empty())
        return {};
    std::sort(matches.begin(), matches.end());
    return slash == std::string::npos ? matches.front() : path.substr(0, slash + 1) + matches.front();
}

int openFlags(const FileOpenRequest &request)
{
    int flags = O_CLOEXEC;
    flags |= request.read && request.write ? O_RDWR : request.write ? O_WRONLY : O_RDONLY;
    if (request.append)
        flags |= O_APPEND;
    if (request.disposition != FileDisposition::openExisting)
        flags |= O_CREAT; // truncation waits until the sharing check has passed
    return flags;
}

// Sharing is advisory here: it keeps our own openers (in any process) apart.
uint32_t applySharing(int fd, const FileOpenRequest &request)
{
    if (request.share == FileShare::all)
        return 0;
    const int mode = request.share == FileShare::none || request.write ? LOCK_EX : LOCK_SH;
    if (flock(fd, mode | LOCK_NB) == 0)
        return 0;
    const int error = errno;
    // File systems without locks give no protection, and no failure either.
    return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS ? 0 : static_cast<uint32_t>(error);
}

} // namespace

uint32_t openFile(const char *path, const FileOpenRequest &request, FileHandle &handle)
{
    handle = noFile;
    std::string native = nativePath(path);
    const mode_t mode = request.readOnly ? 0444 : 0666;
    int fd = ::open(native.c_str(), openFlags(request), mode);
    if (fd < 0 && errno == ENOENT && request.anyCase && request.disposition == FileDisposition::openExisting) {
        const std::string other = findAnyCase(native);
        if (!other.empty())
            fd = ::open(other.c_str(), openFlags(request), mode);
        else
            errno = ENOENT;
    }
    if (fd < 0)
        return static_cast<uint32_t>(errno);
    if (const uint32_t error = applySharing(fd, request)) {
        ::close(fd);
        return error;
    }
    if (request.disposition == FileDisposition::createAlways && ftruncate(fd, 0) != 0) {
        const uint32_t error = static_cast<uint32_t>(errno);
        ::close(fd);
        return error;
    }
    handle = fd;
    return 0;
}

uint32_t closeFile(FileHandle handle)
{
    // Linux releases the descriptor even when close reports EINTR.
    if (::close(static_cast<int>(handle)) != 0 && errno != EINTR)
        return static_cast<uint32_t>(errno);
    return 0;
}

int64_t readFile(FileHandle handle, void *buffer, size_t size, uint32_t &error)
{
    error = 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(static_cast<int>(handle), static_cast<char *>(buffer) + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (done > 0)
                break; // the error comes again with the next read
            error = static_cast<uint32_t>(errno);
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t writeFile(FileHandle handle, const void *data, size_t size, uint32_t &error)
{
    error = 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(static_cast<int>(handle), static_cast<const char *>(data) + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = static_cast<uint32_t>(errno);
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

uint32_t commitFile(FileHandle handle)
{
    if (fsync(static_cast<int>(handle)) == 0)
        return 0;
    // Pipes and devices have nothing to commit.
    return errno == EINVAL || errno == EROFS ? 0 : static_cast<uint32_t>(errno);
}

int64_t seekFile(FileHandle handle, int64_t offset, int origin, uint32_t &error)
{
    const int whence = origin == 0 ? SEEK_SET : origin == 2 ? SEEK_END : SEEK_CUR;
    const off_t position = ::lseek(static_cast<int>(handle), static_cast<off_t>(offset), whence);
    if (position < 0) {
        error = static_cast<uint32_t>(errno);
        return -1;
    }
    error = 0;
    return static_cast<int64_t>(position);
}

int64_t fileSize(FileHandle handle, uint32_t &error)
{
    struct stat info {};
    if (fstat(static_cast<int>(handle), &info) != 0) {
        error = static_cast<uint32_t>(errno);
        return -1;
    }
    error = 0;
    return static_cast<int64_t>(info.st_size);
}

uint32_t createFolders(const char *path)
{
    std::string native = nativePath(path);
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    if (native.empty())
        return ENOENT;
    for (size_t end = native.find('/', 1);; end = native.find('/', end + 1)) {
        const std::string part = native.substr(0, end);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return static_cast<uint32_t>(errno);
        if (end == std::string::npos)
            break;
    }
    struct stat info {};
    if (::stat(native.c_str(), &info) != 0)
        return static_cast<uint32_t>(errno);
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

void prepareBuffer(void *buffer, size_t size)
{
#ifndef MADV_POPULATE_WRITE
    constexpr int MADV_POPULATE_WRITE = 23; // Linux 5.14; older kernels refuse it
#endif
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t start = (reinterpret_cast<uintptr_t>(buffer) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(buffer) + size) & ~(page - 1);
    if (end > start)
        madvise(reinterpret_cast<void *>(start), end - start, MADV_POPULATE_WRITE);
}

void sleepMilliseconds(uint32_t milliseconds)
{
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1'000'000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

bool listFolder(const char *folder, std::vector<FolderEntry> &entries)
{
    std::string native = nativePath(folder);
    if (native.empty())
        native = ".";
    DIR *dir = opendir(native.c_str());
    if (!dir)
        return false;
    const int dirFd = dirfd(dir);
    while (const dirent *found = readdir(dir)) {
        FolderEntry entry;
        entry.name = found->d_name;
        struct statx info {};
        // Links count as what they point to; a broken link as the link itself.
        const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
        if (statx(dirFd, found->d_name, 0, mask, &info) == 0 ||
            statx(dirFd, found->d_name, AT_SYMLINK_NOFOLLOW, mask, &info) == 0) {
            if (S_ISDIR(info.stx_mode))
                entry.attributes |= attributeFolder;
            if (!(info.stx_mode & S_IWUSR))
                entry.attributes |= attributeReadOnly;
            entry.size = S_ISDIR(info.stx_mode) ? 0 : info.stx_size;
            const statx_timestamp &born = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_ctime;
            entry.creationTime = localFileTimeFromUnix(born.tv_sec, born.tv_nsec);
            entry.writeTime = localFileTimeFromUnix(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
            entry.accessTime = localFileTimeFromUnix(info.stx_atime.tv_sec, info.stx_atime.tv_nsec);
        }
        if (entry.name.size() > 1 && entry.name[0] == '.' && entry.name != "..")
            entry.attributes |= attributeHidden;
        entries.push_back(std::move(entry));
    }
    closedir(dir);
    return true;
}

} // namespace podo::platform
