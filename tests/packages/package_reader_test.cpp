#include "packages/package_reader.h"

#include "package_fixture.h"

namespace {

using pkgwriter::File;
using pkgwriter::Folder;

using PackageReaderTest = PackageTest;

std::string SampleStream() {
    return pkgwriter::BuildStream(
        {{0, {Folder("Data", {File("a.txt", "alpha"), File("b.bin", std::string(3000, 'b'))})}},
         {3, {File("c.cfg", "gamma")}}});
}

Package Loaded(const std::string& bytes) {
    Package package;
    package.length = static_cast<std::int32_t>(bytes.size());
    package.data = plat::AllocateLarge(bytes.size());
    std::copy(bytes.begin(), bytes.end(), package.data.get());
    return package;
}

std::string Unpacked(CPatchwellApp& state, const std::string& file) {
    Package package = Loaded(file);
    PackageStream stream;
    EXPECT_EQ(UnpackChunks(state, package, stream), UnpackResult::kUnpacked);
    return std::string(reinterpret_cast<const char*>(stream.bytes.get()), stream.length);
}

TEST_F(PackageReaderTest, ReadPackageFileLoadsTheWholeFileOrLogsWhy) {
    std::string bytes = pkgwriter::BuildPackageFile(SampleStream());
    Package package;
    package.path = PutPackage("a.pkg", bytes);
    EXPECT_TRUE(ReadPackageFile(package));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(package.data.get()), package.length), bytes);
    EXPECT_EQ(log.Text(), "");

    Package empty;
    empty.path = PutPackage("empty.pkg", "");
    EXPECT_FALSE(ReadPackageFile(empty));
    Package missing;
    missing.path = state.installerFolder + "/missing.pkg";
    EXPECT_FALSE(ReadPackageFile(missing));
    EXPECT_EQ(log.Text(), "Error: File has no size\nError: File not opened\n");
}

// Chunk boundaries mean nothing: a split at any byte, inside any field,
// unpacks to the same stream.
TEST_F(PackageReaderTest, AStreamSplitAtAnyByteUnpacksAsOneChunk) {
    std::string stream = SampleStream();
    for (std::size_t split = 1; split < stream.size(); split += (split < 64 ? 1 : 97)) {
        pkgwriter::Options options;
        options.splitAt = {split, split + 3};
        EXPECT_EQ(Unpacked(state, pkgwriter::BuildPackageFile(stream, options)), stream) << split;
    }
    pkgwriter::Options bytewise;
    bytewise.level = 0;
    bytewise.chunkSize = 1;
    EXPECT_EQ(Unpacked(state, pkgwriter::BuildPackageFile(stream, bytewise)), stream);
}

TEST_F(PackageReaderTest, HeaderTextAndLeadingByteChangeNothing) {
    std::string stream = SampleStream();
    for (const std::string& header : {std::string(), std::string("v5 \0 update", 11), std::string(1023, '\xFF')}) {
        pkgwriter::Options options;
        options.leadingByte = 0xA5;
        options.headerText = header;
        options.trailing = "junk";
        EXPECT_EQ(Unpacked(state, pkgwriter::BuildPackageFile(stream, options)), stream);
    }
}

TEST_F(PackageReaderTest, ACorruptSecondChunkOfThreeIsLoggedAndZeroFilled) {
    std::string stream(3000, 'q');
    for (std::size_t i = 0; i < stream.size(); ++i) stream[i] = static_cast<char>('a' + i % 23);
    struct Case {
        pkgwriter::Corruption corruption;
        std::size_t kept;  // bytes of the second chunk that survive
    } cases[] = {{pkgwriter::Corruption::kBadHeader, 0},
                 {pkgwriter::Corruption::kBadChecksum, 1000},
                 {pkgwriter::Corruption::kCutShort, std::string::npos}};
    for (const Case& c : cases) {
        pkgwriter::Options options = pkgwriter::SplitAt({1000, 2000});
        options.tweaks[1].corruption = c.corruption;
        log.Clear();
        std::string unpacked = Unpacked(state, pkgwriter::BuildPackageFile(stream, options));
        EXPECT_EQ(log.Text(),
                  "3 chunks\nTotal uncompressed size: 3000\nMemory allocated\n"
                  "Decompressing chunk: 0 / 3\nDecompressing chunk: 1 / 3\nERROR: uncompress failed: -3\n"
                  "Decompressing chunk: 2 / 3\nChunks uncompressed successfully\n");
        ASSERT_EQ(unpacked.size(), 3000u);
        EXPECT_EQ(unpacked.substr(0, 1000), stream.substr(0, 1000));
        EXPECT_EQ(unpacked.substr(2000), stream.substr(2000));
        std::string share = unpacked.substr(1000, 1000);
        std::size_t kept = share.find_first_not_of('\0') == std::string::npos ? 0 : share.find_last_not_of('\0') + 1;
        if (c.kept != std::string::npos) {
            EXPECT_EQ(kept, c.kept);
        }
        EXPECT_EQ(share.substr(0, kept), stream.substr(1000, kept));
        EXPECT_EQ(share.substr(kept), std::string(1000 - kept, '\0'));  // never stale memory
    }
}

TEST_F(PackageReaderTest, AnOverstatedSizeIsFollowedDirectlyByTheNextChunk) {
    std::string stream = SampleStream();
    pkgwriter::Options options = pkgwriter::SplitAt({10});
    options.tweaks[0].uncompressedExtra = 500;
    std::string unpacked = Unpacked(state, pkgwriter::BuildPackageFile(stream, options));
    EXPECT_EQ(unpacked, stream);
    EXPECT_TRUE(log.Contains("Total uncompressed size: " + std::to_string(stream.size() + 500) + "\n"));

    // An understated size: the chunk is cut at its size and the rest is lost.
    log.Clear();
    options.tweaks[0].uncompressedExtra = -4;
    unpacked = Unpacked(state, pkgwriter::BuildPackageFile(stream, options));
    EXPECT_EQ(unpacked, stream.substr(0, 6) + stream.substr(10));
    EXPECT_TRUE(log.Contains("Decompressing chunk: 0 / 2\nERROR: uncompress failed: -5\n"));
}

TEST_F(PackageReaderTest, NoChunksGiveAnEmptyStream) {
    pkgwriter::Options options;
    options.chunkCount = 0;
    EXPECT_EQ(Unpacked(state, pkgwriter::BuildPackageFile("", options)), "");
    EXPECT_EQ(log.Text(), "0 chunks\nTotal uncompressed size: 0\nMemory allocated\nChunks uncompressed successfully\n");
}

TEST_F(PackageReaderTest, TheFirstHalfOfTheBarFollowsTheChunks) {
    afx::CProgressCtrl bar;
    state.progressBar = &bar;
    ui.watched = &bar;
    Unpacked(state, pkgwriter::BuildPackageFile(SampleStream(), pkgwriter::SplitAt({5, 9})));
    EXPECT_EQ(ui.positions, (std::vector<int>{0, 16, 33}));
    EXPECT_EQ(bar.State().repaints, 3);
    struct Case {
        unsigned index, count;
        int position;
    } cases[] = {{0, 1, 0}, {1, 2, 25}, {6, 7, 42}, {99, 100, 49}, {65534, 65535, 49}};
    for (const Case& c : cases) EXPECT_EQ(ChunkProgressPosition(c.index, c.count), c.position);
}

// Records what the walk hands over, one line per group and entry.
class WalkRecord : public StreamVisitor {
public:
    bool Group(unsigned index, unsigned entries) override {
        lines.push_back("group " + std::to_string(index) + " of " + std::to_string(entries));
        return index != skipped;
    }
    void Enter(const StreamEntry& entry) override {
        std::string line = std::string(entry.depth, '>') + (entry.folder ? "folder " : "file ") + entry.name;
        if (!entry.folder) line += " = " + std::string(reinterpret_cast<const char*>(entry.content), entry.size);
        lines.push_back(line);
    }
    void Leave(const StreamEntry& entry) override { lines.push_back(std::string(entry.depth, '<') + entry.name); }

    unsigned skipped = 99;
    std::vector<std::string> lines;
};

std::string WalkOf(const std::string& bytes, WalkRecord& record, NameRule names = NameRule::kCheck) {
    return WalkPackageStream(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), record, names);
}

TEST(PackageStreamWalk, TextsStopAtAZeroByteButTheWalkMovesPastAllTheirBytes) {
    pkgwriter::ByteWriter out;
    out.U16(2).U16(0).U16(1);                          // group 0, one entry
    out.U8(1).Text(std::string("ab\0cd", 5)).U16(1);  // folder "ab", one child
    out.U8(0).Text("next").Text(std::string("s\0t", 3)).U32(5).Bytes("hello").U16(0);
    out.U16(3).U16(1).U8(0).Text("c.cfg").Text("").U32(0).U16(0);  // group 3
    WalkRecord record;
    record.skipped = 3;
    EXPECT_EQ(WalkOf(out.Data(), record), "");
    EXPECT_EQ(record.lines, (std::vector<std::string>{"group 0 of 1", ">folder ab", ">>file next = hello", "<<next",
                                                      "<ab", "group 3 of 1"}));
}

TEST(PackageStreamWalk, AFaultStopsTheWalkWhereItIsFound) {
    pkgwriter::ByteWriter out;
    out.U16(1).U16(0).U16(2).U8(0).Text("a.txt").Text("").U32(2).Bytes("ok").U16(0);
    out.U8(0).U16(40).Bytes("xy");  // a name longer than what is left
    WalkRecord record;
    EXPECT_EQ(WalkOf(out.Data(), record), "name runs past the end of the stream at offset 27");
    EXPECT_EQ(record.lines, (std::vector<std::string>{"group 0 of 2", ">file a.txt = ok", "<a.txt"}));

    // Names are judged unless the stream was checked already.
    pkgwriter::ByteWriter unsafe;
    unsafe.U16(1).U16(0).U16(1).U8(1).Text("CON").U16(0);
    WalkRecord checked, trusted;
    EXPECT_EQ(WalkOf(unsafe.Data(), checked), "unsafe name \"CON\" (a device name) at offset 7");
    EXPECT_EQ(WalkOf(unsafe.Data(), trusted, NameRule::kTrust), "");
    EXPECT_EQ(trusted.lines.size(), 3u);
}

}  // namespace
