// Package application benchmark.
//   package_bench generate <folder>  writes <folder>/tree (about 20,000 files,
//                                    about 200 MB, compressible and not) and
//                                    <folder>/tree.pkg holding the same tree
//   package_bench apply <package> <prefix>
//                                    applies the package into a fresh prefix's
//                                    C:\Game; prints the seconds and the peak
//                                    resident memory on stderr
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/installer_state.h"
#include "packages/package_install.h"
#include "packages/writer/package_writer.h"
#include "platform/platform.h"
#include "platform/posix/machine.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 200;
constexpr int kFilesPerFolder = 100;
constexpr int kZlibLevel = 6;  // the same level for the tar side
constexpr std::size_t kChunkBytes = 32u << 20;

std::size_t FileSize(int index, std::mt19937& random) {
    if (index % 1000 == 0) return 4u << 20;
    if (index % 50 == 0) return 256u << 10;
    return random() % 4096;
}

std::string Content(int index, std::size_t size, std::mt19937& random) {
    std::string bytes(size, '\0');
    if ((index / 1000 + index) % 2 == 0) {  // half of every size class compresses well
        static const char* const kWords[] = {"model ", "wing ", "rudder ", "aileron ", "throttle ", "site\n"};
        for (std::size_t i = 0; i < size;) {
            const char* word = kWords[random() % 6];
            for (; *word && i < size; ++word) bytes[i++] = *word;
        }
    } else {
        for (char& c : bytes) c = static_cast<char>(random());
    }
    return bytes;
}

int Generate(const fs::path& folder) {
    std::mt19937 random(20240607);
    fs::path tree = folder / "tree";
    std::string stream;
    pkgwriter::ByteWriter head;
    head.U16(1).U16(0).U16(kFolders);
    stream = head.Data();
    std::uint64_t total = 0;
    for (int f = 0; f < kFolders; ++f) {
        char name[16];
        std::snprintf(name, sizeof name, "d%03d", f);
        fs::create_directories(tree / name);
        pkgwriter::Entry folderEntry = pkgwriter::Folder(name);
        folderEntry.childCount = kFilesPerFolder;
        pkgwriter::AppendEntry(stream, folderEntry);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            int index = f * kFilesPerFolder + i;
            std::string content = Content(index, FileSize(index, random), random);
            char file[32];
            std::snprintf(file, sizeof file, "f%05d.dat", index);
            std::ofstream(tree / name / file, std::ios::binary).write(content.data(), content.size());
            pkgwriter::AppendEntry(stream, pkgwriter::File(file, content));
            total += content.size();
        }
    }
    pkgwriter::ChunkedPackageWriter writer(kZlibLevel);
    for (std::size_t at = 0; at < stream.size(); at += kChunkBytes)
        writer.AddChunk(reinterpret_cast<const std::uint8_t*>(stream.data()) + at,
                        std::min(kChunkBytes, stream.size() - at));
    std::string package = writer.Finish();
    std::ofstream(folder / "tree.pkg", std::ios::binary).write(package.data(), package.size());
    std::printf("files %d, content %llu bytes, stream %zu bytes, package %zu bytes\n", kFolders * kFilesPerFolder,
                static_cast<unsigned long long>(total), stream.size(), package.size());
    return 0;
}

int Apply(const fs::path& package, const fs::path& prefix) {
    fs::create_directories(prefix / "drive_c" / "Game");
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    fs::create_directory_symlink("/", prefix / "dosdevices" / "z:");  // where the package lies
    std::string error;
    if (!plat::posix::UseMachine(prefix.string(), &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // The installer's log goes to standard output, a file as in a real run.
    if (!std::freopen((prefix / "install.log").c_str(), "w", stdout)) return 1;
    theApp.installFolder = "C:\\Game";
    // As a real run does once its folders are known: writes stay below them.
    plat::SetContainedFolders({theApp.installFolder});
    Package record;
    record.path = plat::posix::WindowsPathOf(package.string());
    record.name = record.path;
    auto start = std::chrono::steady_clock::now();
    InstallPackage(theApp, &record);
    std::fflush(stdout);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr, "apply_seconds %.3f\npeak_rss_kib %ld\n", seconds, usage.ru_maxrss);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "generate") == 0) return Generate(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "apply") == 0) return Apply(argv[2], argv[3]);
    std::fprintf(stderr, "usage: package_bench generate <folder> | apply <package> <prefix>\n");
    return 2;
}
