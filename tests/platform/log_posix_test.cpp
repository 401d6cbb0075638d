// The log of the native build never reaches the terminal: with no log file
// open its lines are lost, as the Windows program's would be, instead of
// landing on standard output where the terminal wizard draws.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/log.h"
#include "platform/platform.h"
#include "support/scratch_machine.h"

namespace {

// Everything written to standard output (the descriptor and the stream)
// while it lives.
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        char name[] = "/tmp/pw-stdout-XXXXXX";
        file = mkstemp(name);
        path = name;
        saved = dup(STDOUT_FILENO);
        dup2(file, STDOUT_FILENO);
    }
    ~StdoutCapture() {
        Stop();
        close(file);
        unlink(path.c_str());
    }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    std::string Stop() {
        if (saved >= 0) {
            std::fflush(stdout);
            dup2(saved, STDOUT_FILENO);
            close(saved);
            saved = -1;
        }
        std::string text;
        char buffer[256];
        lseek(file, 0, SEEK_SET);
        for (ssize_t n; (n = read(file, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }

private:
    int file = -1;
    int saved = -1;
    std::string path;
};

TEST(NativeLog, LinesGoToTheOpenLogAndAreLostWhenItCannotBeOpened) {
    ScratchMachine machine;
    std::string logPath = machine.Root() + "\\AerovinPatchwell.log";
    StdoutCapture out;
    ASSERT_TRUE(plat::OpenLog(logPath));
    LogText("Starting install process:\n");
    plat::FlushLog();
    EXPECT_EQ(machine.ReadFile(logPath), "Starting install process:\r\n");

    // A folder that does not exist: the log cannot be opened.
    EXPECT_FALSE(plat::OpenLog(machine.Root() + "\\missing\\AerovinPatchwell.log"));
    LogText("  Deleting C:\\old\n");
    LogPrintf("Creating folder: %s...Failed (%d)\n", "C:\\x", 3);
    plat::FlushLog();
    EXPECT_EQ(out.Stop(), "");
    // Nor does the earlier file receive them.
    EXPECT_EQ(machine.ReadFile(logPath), "Starting install process:\r\n");
}

}  // namespace
