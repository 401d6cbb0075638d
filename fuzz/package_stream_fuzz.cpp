// Fuzzes the package stream check in memory: whatever the stream, the check
// reads nothing outside it, and a stream it passes can be walked to its end
// with every read inside the stream and every name safe.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/installer_state.h"
#include "packages/package_check.h"
#include "packages/package_format.h"
#include "packages/package_reader.h"

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// The walk of the installation, without writing: every field must lie
// inside the stream.
class DryWalk {
public:
    explicit DryWalk(const PackageStream& stream) : stream(stream) {}

    void Run() {
        unsigned groups = Number(2);
        for (unsigned g = 0; g < groups; ++g) {
            Number(2);  // the root folder index
            unsigned entries = Number(2);
            for (unsigned e = 0; e < entries; ++e) Entry();
        }
    }

private:
    std::uint32_t Number(std::size_t width) {
        if (cursor > stream.length || stream.length - cursor < width) Fail("a passed stream ends inside a field");
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < width; ++i) value |= static_cast<std::uint32_t>(stream.bytes[cursor + i]) << (8 * i);
        cursor += width;
        return value;
    }
    void Entry() {
        std::uint32_t kind = Number(1);
        std::string name = ReadText(stream, cursor);
        if (cursor > stream.length) Fail("a passed stream ends inside a name");
        if (!IsSafeEntryName(name)) Fail("a passed stream holds an unsafe name");
        if (kind == pkgformat::kKindFile) {
            ReadText(stream, cursor);
            std::uint32_t size = Number(4);
            if (cursor > stream.length || stream.length - cursor < size) Fail("a passed stream ends inside content");
            cursor += size;
        }
        unsigned children = Number(2);
        for (unsigned k = 0; k < children; ++k) Entry();
    }

    const PackageStream& stream;
    std::size_t cursor = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    theApp.installFolder = "C:\\Game";
    theApp.userDataFolder = "C:\\Docs\\AerovinRC";
    theApp.startMenuFolder = "C:\\Start";
    theApp.appDataFolder = "C:\\Roaming";
    theApp.builderFolder = "C:\\Builder";
    theApp.userBuilderFolder = "C:\\Docs\\AerovinBuilder";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PackageStream stream;
    stream.bytes.reset(new std::uint8_t[size ? size : 1]);
    if (size) std::memcpy(stream.bytes.get(), data, size);
    stream.length = size;
    if (!CheckPackageStream(theApp, stream).empty()) return 0;
    DryWalk(stream).Run();
    return 0;
}
