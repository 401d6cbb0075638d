#include "packages/package_discovery.h"

#include "core/step_machine.h"
#include "package_fixture.h"

namespace {

using PackageDiscoveryTest = PackageTest;

// A small sound package.
std::string Sound() { return pkgwriter::BuildPackage({{0, {pkgwriter::File("a.txt", "alpha")}}}); }

std::vector<std::string> RegisteredPaths(const CPatchwellApp& state) {
    std::vector<std::string> paths;
    for (const auto& package : state.packages) {
        EXPECT_EQ(package->name, package->path);
        EXPECT_TRUE(package->checked);
        // The check keeps each chunk's CRC-32, never the file or its stream.
        EXPECT_EQ(package->data, nullptr);
        EXPECT_EQ(package->checkedChunkCrcs.size(), 1u);
        paths.push_back(package->path);
    }
    return paths;
}

TEST_F(PackageDiscoveryTest, OrdersByTheLastDigitBeforeTheExtensionThenTheRestAsFound) {
    for (const char* name : {"a1.pkg", "b2.pkg", "c.pkg", "d10.pkg", "e12.pkg"}) PutPackage(name, Sound());
    RegisterPackages(state);
    const std::string u = "C:\\scratch\\Update/";
    EXPECT_EQ(log.Text(), "Packages found:\n  " + u + "a1.pkg\n  " + u + "b2.pkg\n  " + u + "c.pkg\n  " + u +
                              "d10.pkg\n  " + u + "e12.pkg\n"
                              "Reading packages:\n  " + u + "a1.pkg...Done\n  " + u + "b2.pkg...Done\n  " + u +
                              "e12.pkg...Done\n  " + u + "c.pkg...Done\n  " + u + "d10.pkg...Done\n5 updates\n");
    EXPECT_EQ(RegisteredPaths(state), (std::vector<std::string>{u + "a1.pkg", u + "b2.pkg", u + "e12.pkg",
                                                                u + "c.pkg", u + "d10.pkg"}));
    EXPECT_TRUE(state.installRequested);
    EXPECT_EQ(state.currentStep, stepInstalling);
}

TEST(PackageOrder, DigitGroupsKeepTheirFoundOrder) {
    std::list<std::string> found = {"F/update3.pkg", "F/x0.pkg", "F/update12.pkg", "F/b2.pkg", "F/z.pkg",
                                    "F/a9.pkg", "F/\xE9" "1.pkg", "F/plain"};
    EXPECT_EQ(OrderPackages(found),
              (std::list<std::string>{"F/\xE9" "1.pkg", "F/update12.pkg", "F/b2.pkg", "F/update3.pkg", "F/a9.pkg",
                                      "F/x0.pkg", "F/z.pkg", "F/plain"}));
}

TEST(PackageOrder, TrimPathAndOrderDigit) {
    struct Case {
        const char* path;
        bool dropFolder, dropExtension;
        const char* trimmed;
    } cases[] = {
        {"C:\\u/a.b.pkg", false, true, "C:\\u/a.b"},
        {"C:\\u/a.b.pkg", true, true, "a.b"},
        {"C:\\u/a.b.pkg", true, false, "a.b.pkg"},
        {"C:\\u\\name", true, true, "name"},  // no "." at all: up to the last character
        {"C:\\v.1\\name", true, true, ""},     // the last "." lies before the name: nothing is left
        {".pkg", false, true, ""},
        {"", true, true, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(TrimPath(c.path, c.dropFolder, c.dropExtension), c.trimmed) << c.path;

    struct Digit {
        const char* path;
        int digit;
    } digits[] = {{"u/a1.pkg", 1}, {"u/e12.pkg", 2}, {"u/d10.pkg", 0}, {"u/x0.pkg", 0}, {"u/c.pkg", 0},
                  {"u/a9.PKG", 9}, {"u/\xB9.pkg", 0}, {"u/v.2/a", 0},  {"u/v2.x/a", 2}};
    for (const Digit& d : digits) EXPECT_EQ(OrderDigit(d.path), d.digit) << d.path;
}

// The wildcard also matches names whose generated short name ends in ".PKG":
// only real package names are kept.
TEST(PackageOrder, OnlyNamesEndingInPkgAreKept) {
    struct Case {
        const char* path;
        bool kept;
    } cases[] = {{"C:\\u/a.pkg", true},          {"C:\\u/A.PKG", true},  {"C:\\u/b.Pkg", true},
                 {"C:\\u/.pkg", true},           {"C:\\u/x.pkg2", false}, {"C:\\u/update1.pkgold", false},
                 {"C:\\u/z.pkgx", false},        {"pkg", false},          {"C:\\u/e.pkgz.pkg", true}};
    for (const Case& c : cases) EXPECT_EQ(HasPackageExtension(c.path), c.kept) << c.path;
}

TEST_F(PackageDiscoveryTest, EmptyAndUnopenableFilesAreLeftOut) {
    PutPackage("a.pkg", Sound());
    PutPackage("b.pkg", "");
    PutPackage("c.pkg", Sound());
    plat::fault::Inject("fopen", plat::kErrorSharingViolation, "c.pkg");
    RegisterPackages(state);
    EXPECT_EQ(log.Text(),
              "Packages found:\n  C:\\scratch\\Update/a.pkg\n  C:\\scratch\\Update/b.pkg\n  C:\\scratch\\Update/c.pkg\n"
              "Reading packages:\n  C:\\scratch\\Update/a.pkg...Done\n"
              "  C:\\scratch\\Update/b.pkg...Error: File has no size\n"
              "  C:\\scratch\\Update/c.pkg...Error: File not opened\n1 updates\n");
    EXPECT_EQ(RegisteredPaths(state), (std::vector<std::string>{"C:\\scratch\\Update/a.pkg"}));
    EXPECT_TRUE(state.installRequested);
}

TEST_F(PackageDiscoveryTest, NoUsablePackageLeadsToTheFailurePage) {
    struct Case {
        const char* file;  // nullptr: an empty folder
        const char* log;
    } cases[] = {
        {nullptr, "Packages found:\nReading packages:\nNo downloads found\n"},
        {"only.pkg",
         "Packages found:\n  C:\\scratch\\Update/only.pkg\nReading packages:\n"
         "  C:\\scratch\\Update/only.pkg...Error: File has no size\nNo downloads found\n"},
    };
    for (const Case& c : cases) {
        if (c.file) PutPackage(c.file, "");
        log.Clear();
        state.currentStep = stepInstalling;
        state.failureReason.clear();
        RegisterPackages(state);
        EXPECT_EQ(log.Text(), c.log);
        EXPECT_TRUE(state.packages.empty());
        EXPECT_FALSE(state.installRequested);
        EXPECT_EQ(state.failureReason, "Did not find any updates to download - V5 may already be installed.");
        EXPECT_EQ(state.currentStep, stepFailed);
    }
}

TEST_F(PackageDiscoveryTest, TheTimerCallbackStopsItsTimerAndRegistersIntoTheApplication) {
    PutPackage("a.pkg", Sound());
    afx::CWnd page;
    DiscoverPackages(page.GetSafeHwnd(), 0x0113, 7, 0);
    ASSERT_EQ(ui.killed.size(), 1u);
    EXPECT_EQ(ui.killed[0].first, page.GetSafeHwnd());
    EXPECT_EQ(ui.killed[0].second, 7u);
    EXPECT_EQ(RegisteredPaths(theApp), (std::vector<std::string>{"C:\\scratch\\Update/a.pkg"}));
}

}  // namespace
