// Fuzzes the package stream check in memory: whatever the stream, the check
// reads nothing outside it, and a stream it passes can be walked to its end
// with every read inside the stream and every name safe.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "packages/package_format.h"
#include "packages/package_stream.h"

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// The installation's walk of a passed stream, without writing: it must read
// the stream to its end, every name safe and every content inside it.
class DryWalk : public StreamVisitor {
public:
    explicit DryWalk(const PackageStream& stream) : stream(stream) {}

    void Run() {
        if (!WalkPackageStream(stream.bytes.get(), stream.length, *this, NameRule::kTrust).empty())
            Fail("a passed stream faults when walked");
    }
    bool Group(unsigned index, unsigned) override {
        if (index >= pkgformat::kRootFolderCount) Fail("a passed stream names an unknown root folder");
        return true;
    }
    void Enter(const StreamEntry& entry) override {
        if (!IsSafeEntryName(entry.name)) Fail("a passed stream holds an unsafe name");
        if (entry.depth > pkgformat::kMaxEntryDepth) Fail("a passed stream nests too deep");
        const std::uint8_t* begin = stream.bytes.get();
        if (!entry.folder &&
            (entry.content < begin || static_cast<std::size_t>(entry.content - begin) > stream.length ||
             stream.length - static_cast<std::size_t>(entry.content - begin) < entry.size))
            Fail("a passed stream ends inside content");
    }

private:
    const PackageStream& stream;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PackageStream stream;
    stream.bytes = plat::AllocateLarge(size);
    if (size) std::memcpy(stream.bytes.get(), data, size);
    stream.length = size;
    if (!CheckPackageStream(stream).empty()) return 0;
    DryWalk(stream).Run();
    return 0;
}
