// The version of an installation: major, minor and a release letter.
#pragma once

#include <cstdint>

struct VersionNumber {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    signed char letter = ' ';
};
