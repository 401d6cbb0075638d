// Packing folder trees into a package file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pack {

// One --root INDEX=DIR: a host folder whose contents go under root folder INDEX.
struct RootSpec {
    unsigned index = 0;
    std::string folder;
};

struct CreateOptions {
    std::vector<RootSpec> roots;
    std::size_t chunkSize = 1u << 20;
    int level = 9;
    std::string headerText;  // UTF-8, as typed; stored in code page 1252
};

// What a pack holds, for the summary line.
struct PackSummary {
    std::uint64_t folders = 0;
    std::uint64_t files = 0;
    std::uint64_t contentBytes = 0;
    std::uint64_t streamBytes = 0;
    std::uint64_t fileBytes = 0;
    std::size_t chunks = 0;
};

// Called now and then with the work done and the whole work, in bytes.
using ProgressFn = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Parses "INDEX=DIR"; false with a reason.
bool ParseRootSpec(const std::string& text, RootSpec& root, std::string& error);

// Code page 1252 bytes of a UTF-8 name; false when a character has no place
// in the code page.
bool AnsiName(const std::string& utf8, std::string& ansi);

// Writes the package file. False with a one-line reason when a folder cannot
// be read or the trees do not fit what the format can hold; the output file
// is then not left behind.
bool CreatePackage(const std::string& outPath, const CreateOptions& options, PackSummary& summary,
                   std::string& error, const ProgressFn& progress = {});

}  // namespace pack
