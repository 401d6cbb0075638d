// The crash sweep: a rich update (an old installation with every kind of user
// data, the backup box ticked, three packages) is ended at its Nth seam call,
// as a power cut would end it, then run again to the end. The user's data
// must then be what an update that was never interrupted leaves.
//
//   pw_crash_sweep --source DIR --packer PROGRAM [--points K | --all] [--keep DIR]
//
// Each run is a child process (fork) that runs the unattended wizard on a
// fresh copy of the demo prefix. Exit status 0 when every point passed.
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "main/native_options.h"
#include "platform/fault.h"
#include "platform/posix/machine.h"

namespace fs = std::filesystem;

namespace {

struct Sweep {
    std::string sourceDir;
    std::string packer;
    std::string work;
    std::string pristine;  // the demo prefix before any update
    std::string updates;   // its three packages
};

// Runs the update once in a child process on prefix. killAt > 0 ends it at
// that seam call; countFile, when given, receives the number of seam calls.
int RunUpdate(const Sweep& sweep, const std::string& prefix, long killAt, const std::string& countFile) {
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        std::FILE* quiet = std::freopen("/dev/null", "w", stderr);
        (void)quiet;
        std::string problem;
        if (!plat::posix::UseMachine(prefix, &problem)) _exit(kExitUsage);
        std::string folder = plat::posix::WindowsPathOf(sweep.updates);
        plat::posix::SetCommandLine("\"" + folder + "\\patchwell.exe\"");
        NativeOptions options;
        options.prefix = prefix;
        options.updateFolder = sweep.updates;
        options.unattended = true;
        plat::fault::ResetCallCount();
        if (killAt > 0) plat::fault::KillAtCall(killAt);
        int status = RunUnattended(options);
        if (!countFile.empty()) std::ofstream(countFile) << plat::fault::CallCount() << "\n";
        _exit(status);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

void CopyPrefix(const std::string& from, const std::string& to) {
    std::error_code error;
    fs::remove_all(to, error);
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

using Tree = std::map<std::string, std::string>;

void AddFile(Tree& tree, const fs::path& file, const std::string& label) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    tree[label] = bytes.str();
}

void AddTree(Tree& tree, const fs::path& folder, const std::string& label) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) return;
    for (auto it = fs::recursive_directory_iterator(folder, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        std::string relative = label + "/" + fs::relative(it->path(), folder).string();
        if (it->is_directory())
            tree[relative + "/"] = "";
        else
            AddFile(tree, it->path(), relative);
    }
}

// The user's data after an update: what must be the same however the update
// was interrupted.
Tree UserData(const std::string& prefix) {
    fs::path users = fs::path(prefix) / "drive_c" / "users";
    fs::path documents;
    for (const auto& entry : fs::directory_iterator(users))
        if (entry.path().filename() != "Public") documents = entry.path() / "Documents";
    fs::path data = documents / "AerovinRC";
    Tree tree;
    AddFile(tree, data / "Settings/options.sim", "options");
    AddFile(tree, data / "Settings/controller_0.vxt", "calibration");
    AddFile(tree, fs::path(prefix) / "drive_c/Program Files (x86)/AerovinRC/resources/data/installed.dat",
            "installed sites");
    AddTree(tree, data / "Settings/mappingProfiles/Custom", "profiles");
    AddTree(tree, data / "Downloaded/Schemes/User-made", "schemes");
    AddTree(tree, data / "Downloaded/Sites/User-made", "sites");
    AddTree(tree, documents / "AerovinBuilder/Projects", "editor projects");
    AddTree(tree, documents / "AerovinRC_backup", "backup");
    AddTree(tree, documents / "AerovinBuilder_backup", "editor backup");
    return tree;
}

std::string Differences(const Tree& expected, const Tree& actual) {
    std::set<std::string> names;
    for (const auto& [name, bytes] : expected) names.insert(name);
    for (const auto& [name, bytes] : actual) names.insert(name);
    std::string out;
    for (const std::string& name : names) {
        auto e = expected.find(name), a = actual.find(name);
        if (e == expected.end())
            out += "  extra: " + name + "\n";
        else if (a == actual.end())
            out += "  missing: " + name + "\n";
        else if (e->second != a->second)
            out += "  differs: " + name + "\n";
    }
    return out;
}

std::vector<long> Points(long total, long wanted, bool all) {
    std::vector<long> points;
    if (all || wanted >= total) {
        for (long n = 1; n <= total; ++n) points.push_back(n);
        return points;
    }
    for (long i = 0; i < wanted; ++i) {
        long n = 1 + (wanted == 1 ? 0 : (i * (total - 1) + (wanted - 1) / 2) / (wanted - 1));
        if (points.empty() || points.back() != n) points.push_back(n);
    }
    return points;
}

}  // namespace

int main(int argc, char** argv) {
    Sweep sweep;
    long wanted = 100;
    bool all = false;
    std::string keep;
    CLI::App app{"Ends a rich update at its Nth seam call, runs it again and compares the user's data."};
    app.add_option("--source", sweep.sourceDir, "the source tree (for scripts/make-demo-prefix.sh)")->required();
    app.add_option("--packer", sweep.packer, "the patchwell-pack program")->required();
    app.add_option("--points", wanted, "how many points N, spread over the whole run");
    app.add_flag("--all", all, "every N from the first seam call to the last");
    app.add_option("--keep", keep, "a folder to keep the prefixes of failed points in");
    CLI11_PARSE(app, argc, argv);

    auto started = std::chrono::steady_clock::now();
    // A memory file system where there is one: every run syncs its files to
    // the disk, which the sweep does not need to measure.
    std::string root = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : fs::temp_directory_path().string();
    std::string pattern = root + "/pwcrash-XXXXXX";
    if (!mkdtemp(pattern.data())) return 2;
    sweep.work = pattern;
    sweep.pristine = sweep.work + "/pristine";
    sweep.updates = sweep.work + "/updates";
    std::string command = "bash '" + sweep.sourceDir + "/scripts/make-demo-prefix.sh' '" + sweep.pristine + "' '" +
                          sweep.updates + "' '" + sweep.packer + "' >/dev/null";
    if (std::system(command.c_str()) != 0) {
        std::printf("FAIL: could not make the demo prefix\n");
        return 2;
    }

    // The uninterrupted update, counted.
    std::string reference = sweep.work + "/reference";
    CopyPrefix(sweep.pristine, reference);
    std::string countFile = sweep.work + "/count";
    int status = RunUpdate(sweep, reference, 0, countFile);
    long total = 0;
    std::ifstream(countFile) >> total;
    if (status != 0 || total <= 0) {
        std::printf("FAIL: the uninterrupted update ended with status %d after %ld seam calls\n", status, total);
        return 1;
    }
    Tree expected = UserData(reference);

    std::vector<long> points = Points(total, wanted, all);
    std::printf("crash sweep: %ld seam calls in an uninterrupted update; %zu points\n", total, points.size());
    int failures = 0;
    std::string run = sweep.work + "/run";
    for (long n : points) {
        CopyPrefix(sweep.pristine, run);
        int killed = RunUpdate(sweep, run, n, "");
        int again = RunUpdate(sweep, run, 0, "");
        std::string problem;
        if (killed != plat::fault::kKilledStatus)
            problem += "  the first run ended with status " + std::to_string(killed) + ", not at the call\n";
        if (again != 0) problem += "  the second run ended with status " + std::to_string(again) + "\n";
        problem += Differences(expected, UserData(run));
        if (!problem.empty()) {
            ++failures;
            std::printf("FAIL at call %ld:\n%s", n, problem.c_str());
            if (!keep.empty()) CopyPrefix(run, keep + "/call-" + std::to_string(n));
        }
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("crash sweep: %zu points, %d failed, %.1f s\n", points.size(), failures, seconds);
    std::error_code error;
    fs::remove_all(sweep.work, error);
    return failures == 0 ? 0 : 1;
}
