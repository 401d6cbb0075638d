#include "patchwell-pack/pack_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <sstream>

#include "packages/package_stream.h"
#include "patchwell-pack/pack_create.h"
#include "patchwell-pack/pack_inspect.h"
#include "platform/posix/codepage.h"

namespace pack {
namespace {

// A progress line on a terminal, redrawn at most ten times a second.
class ProgressLine {
public:
    explicit ProgressLine(std::FILE* err) : err(err), shown(isatty(fileno(err)) != 0) {}
    ~ProgressLine() {
        if (drawn) std::fprintf(err, "\r%*s\r", 60, "");
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    ProgressFn Callback() {
        if (!shown) return {};
        return [this](std::uint64_t done, std::uint64_t total) { Show(done, total); };
    }

private:
    void Show(std::uint64_t done, std::uint64_t total) {
        auto now = std::chrono::steady_clock::now();
        if (drawn && now - last < std::chrono::milliseconds(100) && done < total) return;
        last = now;
        drawn = true;
        unsigned percent = total ? static_cast<unsigned>(done * 100 / total) : 100;
        std::fprintf(err, "\rpacking: %3u%% (%s of %s read and packed)", percent, Size(done / 2).c_str(),
                     Size(total / 2).c_str());
        std::fflush(err);
    }
    static std::string Size(std::uint64_t bytes) {
        char text[32];
        if (bytes >= 10u << 20)
            std::snprintf(text, sizeof text, "%llu MB", static_cast<unsigned long long>(bytes >> 20));
        else
            std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>(bytes >> 10));
        return text;
    }

    std::FILE* err;
    bool shown;
    bool drawn = false;
    std::chrono::steady_clock::time_point last;
};

int Create(const std::string& outPath, const std::vector<std::string>& roots, std::size_t chunkSize, int level,
           const std::string& header, std::FILE* out, std::FILE* err) {
    CreateOptions options;
    options.chunkSize = chunkSize;
    options.level = level;
    options.headerText = header;
    for (const std::string& text : roots) {
        RootSpec root;
        std::string problem;
        if (!ParseRootSpec(text, root, problem)) {
            std::fprintf(err, "patchwell-pack: %s\n", problem.c_str());
            return kExitUsage;
        }
        options.roots.push_back(root);
    }
    PackSummary summary;
    std::string problem;
    bool made;
    {
        ProgressLine progress(err);
        made = CreatePackage(outPath, options, summary, problem, progress.Callback());
    }
    if (!made) {
        std::fprintf(err, "patchwell-pack: %s\n", problem.c_str());
        return kExitFault;
    }
    std::fprintf(out, "%s: %llu folders, %llu files, %llu bytes unpacked in %zu chunks, %llu bytes packed\n",
                 outPath.c_str(), static_cast<unsigned long long>(summary.folders),
                 static_cast<unsigned long long>(summary.files), static_cast<unsigned long long>(summary.streamBytes),
                 summary.chunks, static_cast<unsigned long long>(summary.fileBytes));
    return kExitOk;
}

// The --root help, from the table of root folders: "0 installation, 1 user
// data, ...".
std::string RootOptionHelp() {
    std::string help = "INDEX=DIR: the contents of DIR go under root folder INDEX (";
    for (unsigned i = 0; i < pkgformat::kRootFolderCount; ++i) {
        std::string title = kRootFolders[i].title;
        title.erase(title.rfind(" folder"));
        help += (i ? ", " : "") + std::to_string(i) + " " + title;
    }
    return help + "); repeatable";
}

// Loads, unpacks and checks a package; prints the fault when there is one.
bool Inspect(const std::string& path, Inspection& inspection, std::FILE* err) {
    std::string fault = InspectPackage(path, inspection);
    if (fault.empty()) {
        fault = CheckStream(inspection.stream);
        if (!fault.empty()) fault = "package stream: " + fault;
    }
    if (fault.empty()) return true;
    std::fprintf(err, "%s: %s\n", path.c_str(), fault.c_str());
    return false;
}

int List(const std::string& path, std::FILE* out, std::FILE* err) {
    Inspection inspection;
    if (!Inspect(path, inspection, err)) return kExitFault;
    if (!inspection.headerText.empty())
        std::fprintf(out, "header: %s\n", plat::posix::Utf8FromAnsi(inspection.headerText).c_str());
    std::fprintf(out, "%zu chunks, %llu bytes packed, %zu bytes unpacked\n", inspection.chunks.size(),
                 static_cast<unsigned long long>(inspection.fileBytes), inspection.stream.size());
    ListStream(inspection.stream, out);
    return kExitOk;
}

int Verify(const std::string& path, std::FILE* out, std::FILE* err) {
    Inspection inspection;
    if (!Inspect(path, inspection, err)) return kExitFault;
    std::fprintf(out, "%s: sound: %zu chunks unpack to %zu bytes", path.c_str(), inspection.chunks.size(),
                 inspection.stream.size());
    if (inspection.trailingBytes)
        std::fprintf(out, "; %llu bytes after the last chunk are ignored",
                     static_cast<unsigned long long>(inspection.trailingBytes));
    std::fprintf(out, "\n");
    return kExitOk;
}

}  // namespace

int RunPackCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    CLI::App app{"patchwell-pack makes, lists and verifies the update packages (*.pkg) that Patchwell installs.",
                 "patchwell-pack"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "patchwell-pack 5.0");

    std::string outPath, listPath, verifyPath, header;
    std::vector<std::string> roots;
    std::size_t chunkSize = 1u << 20;
    int level = 9;
    CLI::App* create = app.add_subcommand("create", "pack folder trees into a package");
    create->add_option("OUT", outPath, "the package file to write")->required();
    create->add_option("--root", roots, RootOptionHelp())
        ->required()
        ->take_all();
    create->add_option("--chunk-size", chunkSize, "unpacked bytes per chunk (default 1048576)")
        ->check(CLI::Range(std::size_t{1}, std::size_t{2147483647}));
    create->add_option("--level", level, "zlib level, 0 to 9 (default 9)")->check(CLI::Range(0, 9));
    create->add_option("--header", header, "the header text (at most 1023 bytes; never read by the installer)");
    CLI::App* list = app.add_subcommand("list", "show the root groups and the tree of a package, with sizes");
    list->add_option("PKG", listPath, "the package file")->required();
    CLI::App* verify = app.add_subcommand(
        "verify", "check that every chunk unpacks to its stated size and that the installer would accept the package");
    verify->add_option("PKG", verifyPath, "the package file")->required();

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        std::ostringstream outText, errText;
        int code = app.exit(error, outText, errText);
        std::fputs(outText.str().c_str(), out);
        std::fputs(errText.str().c_str(), err);
        return code == 0 ? kExitOk : kExitUsage;
    }
    if (*create) return Create(outPath, roots, chunkSize, level, header, out, err);
    if (*list) return List(listPath, out, err);
    return Verify(verifyPath, out, err);
}

}  // namespace pack
