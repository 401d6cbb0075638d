// Shell links written as ".lnk" files in the shell-link binary format:
// header, link info with the volume and the local base path, and the
// description and arguments as counted UTF-16 strings. No target ID list is
// written: Wine and lnkinfo both take the target from the local base path.
//
// The local base path is the target as Wine's SetPath leaves it: surrounding
// quotes removed and every "/" turned into "\". String counts include a
// terminating NUL, as Wine writes them (lnkinfo stops at a count of 0).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/backend.h"
#include "platform/posix/contained.h"
#include "platform/posix/machine.h"
#include "platform/posix/posix_internal.h"
#include "platform/posix/unique_fd.h"
#include "platform/system_backend.h"

namespace plat {

struct ShellLink {
    int references = 1;
    std::string target;
    std::string description;
    std::string arguments;
    bool hasDescription = false;
    bool hasArguments = false;
};

struct LinkFile {
    ShellLink* link;
};

}  // namespace plat

namespace plat::backend {

using namespace plat::posix;

namespace {

constexpr std::uint32_t kHasLinkInfo = 0x02;
constexpr std::uint32_t kHasName = 0x04;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kIsUnicode = 0x80;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x01;
constexpr std::uint32_t kDriveFixed = 3;
constexpr HRESULT kEPointer = static_cast<HRESULT>(0x80004003u);

void Put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::string LocalBasePath(const std::string& target) {
    std::string path = target;
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// A counted string of the string-data section: count with the NUL, UTF-16.
void PutCountedString(std::string& out, const std::string& ansi) {
    std::u16string units = Utf16FromAnsi(ansi);
    units += u'\0';
    Put16(out, static_cast<std::uint32_t>(units.size()));
    for (char16_t unit : units) Put16(out, unit);
}

std::string LinkBytes(const ShellLink& link) {
    std::uint32_t flags = kHasLinkInfo | kIsUnicode;
    if (link.hasDescription) flags |= kHasName;
    if (link.hasArguments) flags |= kHasArguments;
    std::string out;
    Put32(out, 0x4C);
    // CLSID 00021401-0000-0000-C000-000000000046 in its stored byte order.
    const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    out.append(reinterpret_cast<const char*>(clsid), sizeof clsid);
    Put32(out, flags);
    Put32(out, 0);                               // file attributes
    for (int i = 0; i < 6; ++i) Put32(out, 0);   // creation, access and write times
    Put32(out, 0);                               // file size
    Put32(out, 0);                               // icon index
    Put32(out, 1);                               // SW_SHOWNORMAL
    Put16(out, 0);                               // hot key
    Put16(out, 0);
    Put32(out, 0);
    Put32(out, 0);

    std::string base = LocalBasePath(link.target);
    char drive = base.size() >= 2 && base[1] == ':' ? static_cast<char>(std::toupper(base[0])) : 'C';
    std::string volume;
    Put32(volume, 17);                                       // size, with the empty label
    Put32(volume, kDriveFixed);
    Put32(volume, static_cast<std::uint32_t>(drive) << 24);  // the serial Wine writes
    Put32(volume, 0x10);                                     // label offset
    volume += '\0';
    const std::uint32_t headerSize = 0x1C;
    std::uint32_t volumeOffset = headerSize;
    std::uint32_t baseOffset = volumeOffset + static_cast<std::uint32_t>(volume.size());
    std::uint32_t suffixOffset = baseOffset + static_cast<std::uint32_t>(base.size()) + 1;
    std::uint32_t infoSize = suffixOffset + 1;
    Put32(out, infoSize);
    Put32(out, headerSize);
    Put32(out, kVolumeIdAndLocalBasePath);
    Put32(out, volumeOffset);
    Put32(out, baseOffset);
    Put32(out, 0);  // no network link
    Put32(out, suffixOffset);
    out += volume;
    out += base;
    out += '\0';
    out += '\0';  // empty common path suffix

    if (link.hasDescription) PutCountedString(out, link.description);
    if (link.hasArguments) PutCountedString(out, link.arguments);
    Put32(out, 0);  // terminal extra-data block
    return out;
}

}  // namespace

HRESULT InitializeCom() { return kSOk; }

HRESULT CreateShellLink(ShellLink** link) {
    *link = new ShellLink;
    return kSOk;
}

HRESULT SetLinkPath(ShellLink* link, const std::string& target) {
    if (!link) return kEPointer;
    link->target = target;
    // Wine answers S_FALSE for a target that does not exist.
    return PathExists(LocalBasePath(target)) ? kSOk : kSFalse;
}

HRESULT SetLinkDescription(ShellLink* link, const std::string& description) {
    if (!link) return kEPointer;
    link->description = description;
    link->hasDescription = true;
    return kSOk;
}

HRESULT SetLinkArguments(ShellLink* link, const std::string& arguments) {
    if (!link) return kEPointer;
    link->arguments = arguments;
    link->hasArguments = true;
    return kSOk;
}

HRESULT QueryLinkFile(ShellLink* link, LinkFile** file) {
    if (!link) return kEPointer;
    ++link->references;
    *file = new LinkFile{link};
    return kSOk;
}

HRESULT SaveLinkFile(LinkFile* file, const std::u16string& path) {
    if (!file) return kEPointer;
    std::string ansi = AnsiFromUtf16(path.substr(0, path.find(u'\0')));
    std::string bytes = LinkBytes(*file->link);
    DWORD openError = 0;
    UniqueFd fd(OpenForWriting(ansi, /*append*/ false, &openError));
    if (!fd) return HresultFromWin32(openError == kErrorFileNotFound ? kErrorPathNotFound : openError);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    int error = errno;
    bool written = done == bytes.size();
    if (fd.Close() != 0) written = false;
    if (!written) return HresultFromWin32(error == ENOSPC ? kErrorDiskFull : kErrorAccessDenied);
    return kSOk;
}

void Release(ShellLink* link) {
    if (link && --link->references == 0) delete link;
}

void Release(LinkFile* file) {
    if (!file) return;
    backend::Release(file->link);
    delete file;
}

int WidenAnsi(const std::string& text, char16_t* buffer, int capacity) {
    std::u16string units = Utf16FromAnsi(text);
    units += u'\0';
    if (units.size() > static_cast<std::size_t>(capacity)) {
        SetLastError(kErrorInsufficientBuffer);
        return 0;
    }
    std::memcpy(buffer, units.data(), units.size() * sizeof(char16_t));
    return static_cast<int>(units.size());
}

}  // namespace plat::backend
