#pragma once
// Lets a test make one allocation fail. The test program links FailingAllocation.cpp, which
// replaces the global allocation functions.
#include <cstddef>

namespace qtest {

// Fails the next allocation through operator new of any size.
inline constexpr std::size_t kAnyAllocationSize = ~std::size_t{0};
// While non-zero, the next allocation of exactly this many bytes (or of any size, for
// kAnyAllocationSize) fails with std::bad_alloc and clears it.
extern std::size_t failAllocationOfSize;

} // namespace qtest
