// Chunks decompressed on several threads give the stream, the log and the
// bar of one thread decompressing them in file order.
#include <zlib.h>

#include <random>
#include <thread>

#include "package_fixture.h"
#include "packages/package_feed.h"
#include "packages/package_reader.h"

namespace {

using PackageInflateTest = PackageTest;

// Mixed content: runs of words and runs of noise.
std::string MixedBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes;
    while (bytes.size() < size) {
        if (random() % 2) {
            for (int i = 0; i < 200; ++i) bytes += "wing rudder "[random() % 12];
        } else {
            for (int i = 0; i < 200; ++i) bytes += static_cast<char>(random());
        }
    }
    bytes.resize(size);
    return bytes;
}

ChunkTable TableOf(const std::string& file) {
    ChunkTable table;
    EXPECT_EQ(ReadChunkTable(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), table), "");
    return table;
}

// One chunk after another with zlib, as the reader always did.
std::string ReferenceInflate(const std::string& file, std::vector<int>& results) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(file.data());
    ChunkTable table = TableOf(file);
    std::string out;
    for (const ChunkRecord& record : table.chunks) {
        std::string share(record.uncompressed, '\0');
        uLongf made = record.uncompressed;
        int result = uncompress(reinterpret_cast<Bytef*>(share.data()), &made, data + record.dataOffset,
                                record.compressed);
        results.push_back(result);
        out += result == Z_OK ? share.substr(0, made) : share.substr(0, made) + std::string(record.uncompressed - made, '\0');
    }
    return out;
}

std::string DamagedPackage(const std::string& stream, std::size_t chunk) {
    pkgwriter::Options options;
    options.chunkSize = chunk;
    options.tweaks[3].corruption = pkgwriter::Corruption::kBadHeader;
    options.tweaks[7].corruption = pkgwriter::Corruption::kBadChecksum;
    options.tweaks[11].corruption = pkgwriter::Corruption::kCutShort;
    options.tweaks[15].uncompressedExtra = 500;     // overstated: the next chunk follows directly
    options.tweaks[19].uncompressedExtra = -4;      // understated: the chunk fails
    options.tweaks[23].uncompressedExtra = 20000;
    return pkgwriter::BuildPackageFile(stream, options);
}

TEST(PackageInflate, AnyNumberOfThreadsGivesTheBytesAndOrderOfOneThread) {
    std::string stream = MixedBytes(300000, 7);
    std::string file = DamagedPackage(stream, 10000);
    std::vector<int> expectedResults;
    std::string expected = ReferenceInflate(file, expectedResults);
    const auto* data = reinterpret_cast<const std::uint8_t*>(file.data());
    ChunkTable table = TableOf(file);
    ASSERT_EQ(table.chunks.size(), 30u);
    for (unsigned threads : {1u, 2u, 3u, 8u, 64u}) {
        std::vector<std::uint8_t> out(table.total, 0xEE);
        std::vector<int> results;
        std::size_t length = InflateChunks(
            data, table, out.data(),
            [&](unsigned index, unsigned count, int result) {
                EXPECT_EQ(index, results.size());
                EXPECT_EQ(count, 30u);
                results.push_back(result);
            },
            InflateOptions{threads});
        EXPECT_EQ(results, expectedResults) << threads;
        ASSERT_EQ(length, expected.size()) << threads;
        EXPECT_EQ(std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(length)), expected) << threads;
    }
    EXPECT_EQ(expectedResults[3], Z_DATA_ERROR);
    EXPECT_EQ(expectedResults[19], Z_BUF_ERROR);
    EXPECT_EQ(InflateThreads(table, InflateOptions{64}), 30u);  // never more threads than chunks
}

// A package large enough to be spread over the cores logs its chunks and
// moves the bar exactly as the one-thread reader did.
TEST_F(PackageInflateTest, ALargePackageLogsAndMovesTheBarInChunkOrder) {
    std::string stream = MixedBytes(2400000, 11);  // over 1 MB compressed: the threaded path
    pkgwriter::Options options;
    options.chunkSize = 400000;
    options.tweaks[2].corruption = pkgwriter::Corruption::kBadChecksum;
    std::string file = pkgwriter::BuildPackageFile(stream, options);
    std::vector<int> results;
    std::string expected = ReferenceInflate(file, results);
    Package package;
    package.length = static_cast<std::int32_t>(file.size());
    package.data = plat::AllocateLarge(file.size());
    std::copy(file.begin(), file.end(), package.data.get());
    unsigned cores = std::thread::hardware_concurrency();
    EXPECT_EQ(InflateThreads(TableOf(file), {}), cores < 1 ? 1u : cores > 6 ? 6u : cores);

    afx::CProgressCtrl bar;
    state.progressBar = &bar;
    ui.watched = &bar;
    PackageStream unpacked;
    ASSERT_EQ(UnpackChunks(state, package, unpacked), UnpackResult::kUnpacked);
    EXPECT_EQ(log.Text(),
              "6 chunks\nTotal uncompressed size: 2400000\nMemory allocated\n"
              "Decompressing chunk: 0 / 6\nDecompressing chunk: 1 / 6\nDecompressing chunk: 2 / 6\n"
              "ERROR: uncompress failed: -3\nDecompressing chunk: 3 / 6\nDecompressing chunk: 4 / 6\n"
              "Decompressing chunk: 5 / 6\nChunks uncompressed successfully\n");
    EXPECT_EQ(ui.positions, (std::vector<int>{0, 8, 16, 25, 33, 41}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(unpacked.bytes.get()), unpacked.length), expected);
}

}  // namespace

// Read a few chunks at a time from the file, the chunks give the bytes, the
// results and their order of the whole file unpacked at once, and the feed
// unpacks no further than it is asked to.
TEST_F(PackageInflateTest, TheFeedUnpacksAsFarAsAskedWhateverItReadsAtATime) {
    std::string stream = MixedBytes(300000, 7);
    std::string file = DamagedPackage(stream, 10000);
    std::vector<int> expectedResults;
    std::string expected = ReferenceInflate(file, expectedResults);
    ChunkTable whole = TableOf(file);
    std::string path = PutPackage("fed.pkg", file);
    for (std::size_t most : {std::size_t{1}, std::size_t{25000}, std::size_t{100000}, ChunkFeed::kInputBytes}) {
        FeedFile feedFile;
        std::string fault;
        ASSERT_EQ(feedFile.Open(path, fault), FeedOpen::kOpened) << fault;
        const std::size_t capacity = ChunkFeed::InputCapacity(feedFile.Table(), most);
        plat::LargeBuffer input = plat::AllocateLarge(capacity);
        plat::LargeBuffer out = plat::AllocateLarge(feedFile.Table().total);
        std::vector<int> results;
        ChunkFeed feed(feedFile, input.get(), capacity, out.get(), [&](unsigned index, unsigned count, int result) {
            EXPECT_EQ(index, results.size());
            EXPECT_EQ(count, 30u);
            results.push_back(result);
        });
        std::size_t first = feed.FillTo(1);
        if (most < ChunkFeed::kInputBytes) EXPECT_LT(first, expected.size()) << most;
        ASSERT_EQ(feed.FillTo(expected.size()), expected.size()) << most;
        EXPECT_FALSE(feed.Changed());
        EXPECT_EQ(results, expectedResults) << most;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.get()), expected.size()), expected) << most;
        for (unsigned i = 0; i < whole.chunks.size(); ++i)
            EXPECT_EQ(feed.Crcs()[i], ChunkCrc(reinterpret_cast<const std::uint8_t*>(file.data()), whole.chunks[i]))
                << most << " " << i;
    }
}

// Expecting the CRC-32s of another file, the feed finds it out before
// unpacking anything, and unpacking stops at the first chunk that differs.
TEST_F(PackageInflateTest, TheFeedStopsAtAChunkThatIsNotTheOneChecked) {
    std::string stream = MixedBytes(60000, 3);
    pkgwriter::Options options;
    options.chunkSize = 10000;
    std::string path = PutPackage("fed.pkg", pkgwriter::BuildPackageFile(stream, options));
    FeedFile feedFile;
    std::string fault;
    ASSERT_EQ(feedFile.Open(path, fault), FeedOpen::kOpened);
    const std::size_t capacity = ChunkFeed::InputCapacity(feedFile.Table(), 1);
    plat::LargeBuffer input = plat::AllocateLarge(capacity);
    plat::LargeBuffer out = plat::AllocateLarge(feedFile.Table().total);
    ChunkFeed feed(feedFile, input.get(), capacity, out.get(), [](unsigned, unsigned, int) {});
    std::vector<std::uint32_t> checked;
    {
        // The CRC-32s the file really has, the third chunk's made another.
        FeedFile again;
        ASSERT_EQ(again.Open(path, fault), FeedOpen::kOpened);
        plat::LargeBuffer in2 = plat::AllocateLarge(capacity), out2 = plat::AllocateLarge(again.Table().total);
        ChunkFeed reference(again, in2.get(), capacity, out2.get(), [](unsigned, unsigned, int) {});
        reference.FillTo(stream.size());
        reference.Expect(reference.Crcs());
        EXPECT_TRUE(reference.Verify());
        checked = reference.Crcs();
        checked[2] ^= 1;
    }
    feed.Expect(checked);
    EXPECT_FALSE(feed.Verify());
    EXPECT_EQ(feed.FillTo(stream.size()), 20000u);
    EXPECT_TRUE(feed.Changed());
    EXPECT_EQ(feed.FillAll(), 20000u);
}
