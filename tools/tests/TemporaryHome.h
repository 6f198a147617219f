// Points every folder the plug-in may touch (home, configuration, documents, the registry store)
// into one folder, so that a test, a benchmark or a fuzz run never reaches the real ones.
#pragma once

#include <cstdlib>
#include <string>

namespace qtest {

inline void pointFoldersAt(const std::string &home)
{
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (home + "/Documents").c_str(), 1);
    setenv("QUORIX_REGISTRY", (home + "/registry").c_str(), 1);
    setenv("QUORIX_REGISTRY_SYSTEM", (home + "/registry-system").c_str(), 1);
}

} // namespace qtest
