// The kill rule of the fault injector: the process ends at the chosen seam
// call, before that call reaches the machine.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/fault.h"
#include "platform/platform.h"
#include "support/scratch_machine.h"

namespace {

TEST(KillAtCall, TheProcessEndsAtTheChosenCallAndNotBefore) {
    ScratchMachine machine;
    plat::fault::Scope faults;
    std::string first = machine.Root() + "\\first.txt";
    std::string second = machine.Root() + "\\second.txt";
    std::string third = machine.Root() + "\\third.txt";
    EXPECT_EXIT(
        {
            plat::fault::KillAtCall(3);
            plat::MakeFolderTree(first);   // call 1
            plat::MakeFolderTree(second);  // call 2
            plat::MakeFolderTree(third);   // call 3: never reaches the machine
            std::fprintf(stderr, "survived\n");
            std::exit(0);
        },
        ::testing::ExitedWithCode(plat::fault::kKilledStatus), "^$");
    EXPECT_TRUE(machine.Exists(first));
    EXPECT_TRUE(machine.Exists(second));
    EXPECT_FALSE(machine.Exists(third));
}

TEST(KillAtCall, CountsEveryCallAndClearEndsTheRule) {
    ScratchMachine machine;
    plat::fault::Scope faults;
    long before = plat::fault::CallCount();
    plat::PathExists(machine.Root());
    plat::GetAttributes(machine.Root());
    EXPECT_EQ(plat::fault::CallCount(), before + 2);
    plat::fault::KillAtCall(1);
    plat::fault::Clear();
    EXPECT_EQ(plat::PathExists(machine.Root()), 1);  // still alive
    plat::fault::ResetCallCount();
    EXPECT_EQ(plat::fault::CallCount(), 0);
}

}  // namespace
