#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// File-system, known-folder, registry-store and shell services of the operating system, for the
// foundation's path and shell operations, registry values and message boxes. Paths are UTF-8.
namespace podo::platform {

// What a path names, without following a final symbolic link.
enum class PathKind { none, file, folder, link, other };
PathKind pathKind(const std::string &path);
// The kind of what a path reaches, following links (for "does it exist").
PathKind pathTargetKind(const std::string &path);
// True when the file's permissions leave it read-only for its owner.
bool isReadOnly(const std::string &path);

bool removeFile(const std::string &path);   // a file or a symbolic link itself, never its target
bool removeEmptyFolder(const std::string &path);
bool createFolder(const std::string &path); // one level; false when it exists
bool renamePath(const std::string &from, const std::string &to); // atomic; replaces a file at `to`
// Creates (or truncates) a file for writing; false when it cannot.
bool createEmptyFile(const std::string &path);
// Names in a folder, without "." and "..", in no particular order; false when it cannot be read.
bool listFolder(const std::string &folder, std::vector<std::string> &names);

// Known folders; empty when there is no way to know (never relative to the working folder).
std::string homeFolder();        // $HOME, else the password database
std::string configFolder();      // $XDG_CONFIG_HOME, else home/.config
std::string documentsFolder();   // the XDG documents folder, else home

// Root folders of the registry store: per user, and the system-wide one read for the machine hive.
// QUORIX_REGISTRY and QUORIX_REGISTRY_SYSTEM replace them (tests point both at temporary folders).
std::string registryUserRoot();
std::string registrySystemRoot();

// Runs `program` found on PATH with the arguments and waits for it; true when it ran and exited 0.
bool runProgram(const std::string &program, const std::vector<std::string> &arguments);
// The same, with the program's standard output read into `output`; its exit status, or -1 when it could
// not be started or did not end by itself.
int runProgramOutput(const std::string &program, const std::vector<std::string> &arguments, std::string &output);

// The desktop's file chooser and question dialog (zenity), each waiting for the user.
struct FileChoice {
    bool save = false;
    std::string title;
    // Display text and pattern pairs ("Patterns (*.ptn)", "*.ptn"); the first is selected.
    std::vector<std::pair<std::string, std::string>> filters;
    std::string proposedPath; // the folder and name the chooser starts with
    uintptr_t owner = 0;      // the window the dialog belongs to; 0 for none
};
// True when the user chose a file; false when cancelled or when no chooser can be shown.
bool chooseFile(const FileChoice &choice, std::string &chosen);
// True when an executable of that name lies in a folder of PATH.
bool findProgram(const std::string &name);
// 1 for yes, 0 for no, -1 when the question cannot be shown.
int askQuestion(const std::string &title, const std::string &text, uintptr_t owner);

} // namespace podo::platform
