// Reading a package file back: its chunks, its stream and its tree.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "packages/package_file.h"

namespace pack {

struct Inspection {
    std::string headerText;  // code page 1252
    std::vector<ChunkRecord> chunks;
    std::uint64_t fileBytes = 0;
    std::uint64_t trailingBytes = 0;
    std::string stream;  // the chunks' outputs joined
};

// Loads and unpacks the package. Empty when every chunk record lies inside
// the file (the installer's own layout check) and every chunk decompresses to
// exactly its stated size; else the first fault with its file offset.
std::string InspectPackage(const std::string& path, Inspection& inspection);

// The installer's own check of a stream. Empty when sound, else the fault
// with its stream offset.
std::string CheckStream(const std::string& stream);

// Writes the root groups and the tree with sizes; the stream must have
// passed CheckStream.
void ListStream(const std::string& stream, std::FILE* out);

}  // namespace pack
