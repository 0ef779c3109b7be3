#pragma once
#include <gtest/gtest.h>

#include <string>

// The free space of a drive as the host itself counted it when the fixture
// prepared the prefix (prefix.sh), never through the installer's code.
struct HostSpace {
  unsigned long long freeKB = 0;
  unsigned long long blockBytes = 0;  // the file system's allocation unit
  unsigned long long driftKB = 0;     // how far others may have moved it since: 0 on our small disk
};

// The host's figure for drive `letter` ('C' or 'D'); false when the fixture
// left none (the test then runs outside ctest, without its fixture).
bool ReadHostSpace(char letter, HostSpace* space);
constexpr const char kNoHostSpace[] =
    "no free-space figure from the fixture: run the test through ctest (destination_prefix_setup)";

// Whether `kb` is the host's figure once `writtenBytes` more are on the disk
// in files of their own, within the drift.
::testing::AssertionResult MatchesHostSpace(const HostSpace& host, unsigned long long kb,
                                            const std::initializer_list<unsigned long long>& writtenBytes = {});

// The figure a dialog shows, "<n> KB", as a number (0 for anything else).
unsigned long long ShownKB(const std::string& shown);
