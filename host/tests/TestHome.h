// Points every folder the plug-in may touch (home, configuration, documents, the registry store) at a
// fresh temporary folder for the whole test process, so no test reaches the real ones.
#pragma once

#include <string>

namespace qtest {

// The temporary home of this test process.
const std::string &testHome();

} // namespace qtest
