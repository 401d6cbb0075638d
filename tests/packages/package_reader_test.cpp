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
    package.data.reset(new std::uint8_t[bytes.size() ? bytes.size() : 1]);
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

TEST(PackageText, ReadTextStopsAtZeroButMovesPastAllBytes) {
    pkgwriter::ByteWriter out;
    out.Text(std::string("ab\0cd", 5)).Text("next").U16(40).Bytes("xy");
    PackageStream stream;
    stream.length = out.Data().size();
    stream.bytes.reset(new std::uint8_t[stream.length]);
    std::copy(out.Data().begin(), out.Data().end(), stream.bytes.get());
    std::size_t cursor = 0;
    EXPECT_EQ(ReadText(stream, cursor), "ab");
    EXPECT_EQ(cursor, 7u);
    EXPECT_EQ(ReadText(stream, cursor), "next");
    EXPECT_EQ(ReadText(stream, cursor), "xy");  // a length past the end reads only what is there
    EXPECT_EQ(cursor, 13u + 2 + 40);
    EXPECT_EQ(ReadText(stream, cursor), "");
}

}  // namespace
