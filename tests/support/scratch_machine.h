// A fresh machine for one test. On the native build it is a temporary Wine
// prefix (C: mapped, Wine's default folders made, removed at the end); on the
// Windows build it is a temporary folder on the real C: drive.
#pragma once

#include <string>

// Makes a folder the installer's own (besides those of its state) while it
// lives, so that the deletion and writing guard lets a test work in it.
class ScopedOwnedFolder {
public:
    ScopedOwnedFolder() = default;
    explicit ScopedOwnedFolder(const std::string& folder) { Own(folder); }
    ~ScopedOwnedFolder();
    ScopedOwnedFolder(const ScopedOwnedFolder&) = delete;
    ScopedOwnedFolder& operator=(const ScopedOwnedFolder&) = delete;
    void Own(const std::string& folder);

private:
    std::string owned;
};

class ScratchMachine {
public:
    struct Options {
        bool win64 = false;        // a 64-bit prefix (system.reg says #arch=win64)
        bool extraDriveD = false;  // a D: drive beside C:
        bool ownRoot = true;       // Root() is the installer's own folder while the machine lives
    };
    ScratchMachine();
    explicit ScratchMachine(const Options& options);
    ~ScratchMachine();
    ScratchMachine(const ScratchMachine&) = delete;
    ScratchMachine& operator=(const ScratchMachine&) = delete;

    // A Windows folder, empty at the start, where a test may do as it likes.
    const std::string& Root() const { return root; }
    // The host path of a Windows path (the path itself on Windows).
    std::string HostPath(const std::string& windowsPath) const;
    // The host folder of the prefix (native build only; empty on Windows).
    const std::string& PrefixFolder() const { return prefix; }

    void MakeFolder(const std::string& windowsPath) const;
    void WriteFile(const std::string& windowsPath, const std::string& bytes) const;
    std::string ReadFile(const std::string& windowsPath) const;
    bool Exists(const std::string& windowsPath) const;

private:
    std::string prefix;
    std::string root;
    ScopedOwnedFolder ownedRoot;
};

// The current directory is the program's: tests that enter folders put it back.
class CurrentDirRestorer {
public:
    CurrentDirRestorer();
    ~CurrentDirRestorer();
    CurrentDirRestorer(const CurrentDirRestorer&) = delete;
    CurrentDirRestorer& operator=(const CurrentDirRestorer&) = delete;

private:
    std::string saved;
};
