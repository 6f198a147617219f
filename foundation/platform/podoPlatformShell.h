#pragma once

#include <cstdint>
#include <string>
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

} // namespace podo::platform
