// How the fuzz target reads its input. The first byte chooses:
//   even: the rest is a package file, read as it stands;
//   odd:  the second byte picks a chunk split, the rest is a package stream,
//         which the target wraps into a package file (so that mutations reach
//         the walk without having to keep zlib's checksums right).
#pragma once

constexpr unsigned char kFuzzWholeFile = 0;
constexpr unsigned char kFuzzStream = 1;
