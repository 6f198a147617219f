#pragma once
// Reading a fixture's file inside a test.

#include "tools/soundfont/tests/Sf2Fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace sftest {

// The fixture's file as the reader takes it; a refusal fails the test.
inline sf2::SoundFont read(const Sf2Fixture &f)
{
  auto bytes = f.bytes();
  sf2::SoundFont sf;
  std::string error;
  EXPECT_TRUE(sf2::readSoundFont(bytes.data(), bytes.size(), sf, error)) << error;
  return sf;
}

} // namespace sftest
