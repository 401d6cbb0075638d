// Writes the fuzz targets' seed corpora: valid packages of several shapes.
//   package_fuzz_seeds <corpus> [<files> <streams>]
// <corpus> gets each as a whole file and as a stream in package_fuzz's input
// form; <files> gets the package files as they stand, <streams> the streams.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "package_fuzz_input.h"
#include "packages/writer/package_writer.h"

using pkgwriter::File;
using pkgwriter::Folder;

namespace {

void WriteSeed(const std::string& folder, const std::string& name, const std::string& bytes) {
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: package_fuzz_seeds <corpus folder> [<files folder> <streams folder>]\n");
        return 2;
    }
    std::vector<std::vector<pkgwriter::RootGroup>> shapes = {
        {{0, {File("a.txt", "alpha")}}},
        {{0, {Folder("Data", {File("a.txt", "alpha"), Folder("Sub", {File("b.bin", std::string(300, '\x01'))})})}}},
        {{0, {Folder("x")}}, {1, {File("opt.sim", "k=v\n")}}, {2, {}}, {3, {Folder("y", {Folder("z")})}},
         {4, {File("e", "")}}, {5, {File("u\\v", "w")}}},
        {{2, {File("f", "1", {File("g", "2")})}}},
    };
    int n = 0;
    for (const auto& shape : shapes) {
        std::string stream = pkgwriter::BuildStream(shape);
        pkgwriter::Options options;
        options.headerText = "update";
        options.splitAt = {stream.size() / 3, stream.size() / 2};
        std::string whole(1, static_cast<char>(kFuzzWholeFile));
        std::string file = pkgwriter::BuildPackageFile(stream, options);
        WriteSeed(argv[1], "seed-file-" + std::to_string(n), whole + file);
        if (argc == 4) {
            WriteSeed(argv[2], "seed-" + std::to_string(n), file);
            WriteSeed(argv[3], "seed-" + std::to_string(n), stream);
        }
        std::string wrapped = {static_cast<char>(kFuzzStream), static_cast<char>(stream.size() / 2)};
        WriteSeed(argv[1], "seed-stream-" + std::to_string(n), wrapped + stream);
        ++n;
    }
    return 0;
}
