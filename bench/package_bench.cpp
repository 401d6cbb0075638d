// Package application benchmark.
//   package_bench generate <folder> [many|large]
//                                    writes <folder>/tree/Bench and
//                                    <folder>/tree.pkg holding the same tree
//                                    under the installation folder, in 1 MiB
//                                    chunks at zlib level 6: "many" is 20,000
//                                    files (about 248 MB, compressible and
//                                    not), "large" 200 files of 100 KB to 4 MB
//                                    (about 400 MB)
//   package_bench inflate <package>  times one pass of decompressing every
//                                    chunk on one thread, with zlib and with
//                                    the build's fastest inflater
//   package_bench create <tree> <folder>
//                                    times writing every file of <tree> (read
//                                    into memory first) below the empty
//                                    new <folder> with open, write and close, on
//                                    one thread and on every core: the cost of
//                                    creating the files, the floor of any run
//   package_bench apply <package> <prefix>
//                                    applies the package into a fresh prefix's
//                                    C:\Game; prints the seconds and the peak
//                                    resident memory on stderr
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/installer_state.h"
#include "packages/package_install.h"
#include "packages/package_reader.h"
#include "packages/writer/package_writer.h"
#include "platform/platform.h"
#include "platform/posix/machine.h"

namespace fs = std::filesystem;

namespace {

constexpr int kZlibLevel = 6;  // the same level for the tar side
constexpr std::size_t kChunkBytes = 1u << 20;

struct Shape {
    int folders;
    int filesPerFolder;
    std::size_t (*size)(int index, std::mt19937& random);
};

// 20,000 files: most of them small, some of 256 KiB and a few of 5.4 MB.
std::size_t ManySize(int index, std::mt19937& random) {
    if (index % 1000 == 0) return 5400000;
    if (index % 50 == 0) return 256u << 10;
    return random() % 4096;
}
// 200 files of 100 KB to 4 MB.
std::size_t LargeSize(int, std::mt19937& random) { return 100000 + random() % 3900001; }

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

int Generate(const fs::path& folder, const Shape& shape) {
    std::mt19937 random(20240607);
    fs::path tree = folder / "tree" / "Bench";
    std::string stream;
    pkgwriter::ByteWriter head;
    head.U16(1).U16(0).U16(1);
    stream = head.Data();
    pkgwriter::Entry top = pkgwriter::Folder("Bench");
    top.childCount = static_cast<std::uint16_t>(shape.folders);
    pkgwriter::AppendEntry(stream, top);
    std::uint64_t total = 0;
    for (int f = 0; f < shape.folders; ++f) {
        char name[16];
        std::snprintf(name, sizeof name, "d%03d", f);
        fs::create_directories(tree / name);
        pkgwriter::Entry folderEntry = pkgwriter::Folder(name);
        folderEntry.childCount = static_cast<std::uint16_t>(shape.filesPerFolder);
        pkgwriter::AppendEntry(stream, folderEntry);
        for (int i = 0; i < shape.filesPerFolder; ++i) {
            int index = f * shape.filesPerFolder + i;
            std::string content = Content(index, shape.size(index, random), random);
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
    std::printf("files %d, content %llu bytes, stream %zu bytes, package %zu bytes\n",
                shape.folders * shape.filesPerFolder, static_cast<unsigned long long>(total), stream.size(),
                package.size());
    return 0;
}

int Inflate(const fs::path& package) {
    std::ifstream in(package, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto* data = reinterpret_cast<const std::uint8_t*>(file.data());
    ChunkTable table;
    if (!ReadChunkTable(data, file.size(), table).empty()) return 1;
    std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[table.total]);
    for (bool zlibOnly : {true, false}) {
        for (unsigned threads : {1u, 0u}) {
            auto start = std::chrono::steady_clock::now();
            InflateChunks(data, table, out.get(), [](unsigned, unsigned, int) {}, InflateOptions{threads, zlibOnly});
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("inflate %s, %s: %.3f s\n", zlibOnly ? "zlib" : "fastest", threads ? "one thread" : "all cores",
                        seconds);
        }
    }
    return 0;
}

// Writes the files numbered first, first + step, ... below out; false on any failure.
bool WriteShare(const fs::path& out, const std::vector<std::pair<fs::path, std::string>>& files, std::size_t first,
                std::size_t step) {
    bool ok = true;
    for (std::size_t i = first; i < files.size(); i += step) {
        int fd = open((out / files[i].first).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        const std::string& bytes = files[i].second;
        ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && ok;
        ok = close(fd) == 0 && ok;
    }
    return ok;
}

int Create(const fs::path& tree, const fs::path& folder) {
    std::vector<fs::path> folders;
    std::vector<std::pair<fs::path, std::string>> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tree)) {
        fs::path relative = entry.path().lexically_relative(tree);
        if (entry.is_directory()) {
            folders.push_back(relative);
        } else {
            std::ifstream in(entry.path(), std::ios::binary);
            files.emplace_back(relative, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
        }
    }
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned threads : {1u, cores}) {
        fs::path out = folder / ("create-" + std::to_string(threads));
        // A fresh folder, nothing deleted: see run-package-bench.sh.
        if (!fs::create_directories(out)) return 1;
        sync();
        auto start = std::chrono::steady_clock::now();
        for (const fs::path& relative : folders) fs::create_directory(out / relative);
        std::vector<std::thread> pool;
        std::vector<char> ok(threads, 0);
        for (unsigned t = 0; t < threads; ++t)
            pool.emplace_back([&, t] { ok[t] = WriteShare(out, files, t, threads); });
        for (std::thread& thread : pool) thread.join();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (std::find(ok.begin(), ok.end(), 0) != ok.end()) return 1;
        std::printf("create %zu files, %u thread%s: %.3f s\n", files.size(), threads, threads == 1 ? "" : "s",
                    seconds);
    }
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
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "generate") == 0) {
        bool large = argc == 4 && std::strcmp(argv[3], "large") == 0;
        return Generate(argv[2], large ? Shape{4, 50, LargeSize} : Shape{200, 100, ManySize});
    }
    if (argc == 3 && std::strcmp(argv[1], "inflate") == 0) return Inflate(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "create") == 0) return Create(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "apply") == 0) return Apply(argv[2], argv[3]);
    std::fprintf(stderr, "usage: package_bench generate <folder> [many|large] | inflate <package> | create <tree> <folder> | apply <package> <prefix>\n");
    return 2;
}
