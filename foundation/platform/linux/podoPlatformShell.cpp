#include "foundation/platform/podoPlatformShell.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char **environ;

namespace podo::platform {

namespace {

PathKind kindOf(const struct stat &st)
{
    if (S_ISREG(st.st_mode))
        return PathKind::file;
    if (S_ISDIR(st.st_mode))
        return PathKind::folder;
    if (S_ISLNK(st.st_mode))
        return PathKind::link;
    return PathKind::other;
}

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool isAbsolute(const std::string &path) { return !path.empty() && path[0] == '/'; }

} // namespace

PathKind pathKind(const std::string &path)
{
    struct stat st{};
    if (path.empty() || lstat(path.c_str(), &st) != 0)
        return PathKind::none;
    return kindOf(st);
}

PathKind pathTargetKind(const std::string &path)
{
    struct stat st{};
    if (path.empty() || stat(path.c_str(), &st) != 0)
        return PathKind::none;
    return kindOf(st);
}

bool isReadOnly(const std::string &path)
{
    struct stat st{};
    return lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

bool removeFile(const std::string &path) { return !path.empty() && unlink(path.c_str()) == 0; }
bool removeEmptyFolder(const std::string &path) { return !path.empty() && rmdir(path.c_str()) == 0; }
bool createFolder(const std::string &path) { return !path.empty() && mkdir(path.c_str(), 0777) == 0; }

bool renamePath(const std::string &from, const std::string &to)
{
    return !from.empty() && !to.empty() && rename(from.c_str(), to.c_str()) == 0;
}

bool createEmptyFile(const std::string &path)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return false;
    return close(fd) == 0;
}

bool listFolder(const std::string &folder, std::vector<std::string> &names)
{
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return false;
    while (struct dirent *entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return true;
}

std::string homeFolder()
{
    std::string home = environment("HOME");
    if (isAbsolute(home))
        return home;
    struct passwd entry{};
    struct passwd *found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        isAbsolute(found->pw_dir))
        return found->pw_dir;
    return std::string();
}

std::string configFolder()
{
    std::string config = environment("XDG_CONFIG_HOME");
    if (isAbsolute(config))
        return config;
    std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

std::string documentsFolder()
{
    std::string home = homeFolder();
    std::string documents = environment("XDG_DOCUMENTS_DIR");
    if (documents.empty()) {
        // The user's folder names, as the desktop writes them: XDG_DOCUMENTS_DIR="$HOME/Documents"
        std::string config = configFolder();
        if (!config.empty()) {
            std::ifstream in(config + "/user-dirs.dirs");
            for (std::string line; std::getline(in, line);) {
                const std::string key = "XDG_DOCUMENTS_DIR=";
                if (line.compare(0, key.size(), key) != 0)
                    continue;
                std::string value = line.substr(key.size());
                if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                    value = value.substr(1, value.size() - 2);
                if (value.compare(0, 5, "$HOME") == 0)
                    value = home.empty() ? std::string() : home + value.substr(5);
                documents = value;
            }
        }
    }
    if (isAbsolute(documents))
        return documents;
    return home;
}

std::string registryUserRoot()
{
    std::string root = environment("QUORIX_REGISTRY");
    if (isAbsolute(root))
        return root;
    std::string config = configFolder();
    return config.empty() ? std::string() : config + "/quorix-registry";
}

std::string registrySystemRoot()
{
    std::string root = environment("QUORIX_REGISTRY_SYSTEM");
    if (isAbsolute(root))
        return root;
    return "/etc/xdg/quorix-registry";
}

namespace {

std::vector<char *> argumentVector(const std::string &program, const std::vector<std::string> &arguments)
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const auto &a : arguments)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

int waitExit(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

bool runProgram(const std::string &program, const std::vector<std::string> &arguments)
{
    std::vector<char *> argv = argumentVector(program, arguments);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The program's chatter is not ours to show; its exit status is the answer.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    return waitExit(pid) == 0;
}

int runProgramOutput(const std::string &program, const std::vector<std::string> &arguments, std::string &output)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    std::vector<char *> argv = argumentVector(program, arguments);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return -1;
    }
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            output.append(buffer, size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);
    return waitExit(pid);
}

} // namespace podo::platform
