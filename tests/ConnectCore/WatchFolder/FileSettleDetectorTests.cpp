#include "ConnectCore/WatchFolder/FileSettleDetector.hpp"
#include "tests/Support/MovieSamples.hpp"
#include "tests/Support/RunCoroutine.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using Verdict = FileSettleDetector::Verdict;

class FileSettleDetectorTest : public ::testing::Test {
protected:
    Verdict evaluate(const std::filesystem::path& file) { return engine.run(detector.evaluate(file)); }

    // Evaluates at each offset from the start of the test's clock.
    std::vector<Verdict> evaluateAt(const std::filesystem::path& file,
                                    std::initializer_list<std::chrono::milliseconds> offsets) {
        std::vector<Verdict> verdicts;
        for (const auto offset : offsets) {
            now = start + offset;
            verdicts.push_back(evaluate(file));
        }
        return verdicts;
    }

    testing::Engine engine;
    testing::TemporaryDirectory folder;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point now = start;
    FileSettleDetector detector{engine.executor(), 3s, 4h, [this] { return now; }};
};

TEST(FileSettleDetectorNames, TemporaryNamesOfWritersAndPreviewFolders) {
    for (const char* name :
         {"/w/.DS_Store", "/w/~lock.doc", "/w/report.doc~", "/w/clip.MOV.part", "/w/render.CRDOWNLOAD",
          "/w/my_temp_notes.txt", "/w/TEMP_export.jpg", "/w/a.partial", "/w/b.download", "/w/c.sfk",
          "/w/Proxy/clip.mov", "/w/Adobe Premiere Pro Video Previews/x.mov", "/w/lib/.gallery/thumb.jpg"}) {
        EXPECT_TRUE(FileSettleDetector::isTemporaryName(name)) << name;
    }
    for (const char* name : {"/w/photo.jpg", "/w/temperature.txt", "/w/proxy.mov", "/w/part.txt",
                             "/w/a~b.txt", "/w/contemporary.pdf"}) {
        EXPECT_FALSE(FileSettleDetector::isTemporaryName(name)) << name;
    }
}

// The quiet period counts from the look that first saw the final size; exactly the period is quiet enough.
// A settled file is forgotten: the next look starts afresh.
TEST_F(FileSettleDetectorTest, GrowthRestartsTheQuietPeriodAndASettledFileIsForgotten) {
    const auto file = folder / "notes.txt";
    testing::appendToFile(file, "one");
    EXPECT_EQ(evaluateAt(file, {0ms, 2s}), (std::vector{Verdict::stillWriting, Verdict::stillWriting}));
    testing::appendToFile(file, "two");
    EXPECT_EQ(evaluateAt(file, {2500ms, 5s, 5499ms, 5500ms, 5500ms}),
              (std::vector{Verdict::stillWriting, Verdict::stillWriting, Verdict::stillWriting,
                           Verdict::settled, Verdict::stillWriting}));
}

// The limit is tested before stability: a file first seen too long ago is given up even when quiet.
TEST_F(FileSettleDetectorTest, EmptyOrLongWatchedFilesAreAbandoned) {
    const auto empty = folder / "empty.txt";
    const auto stable = folder / "stable.txt";
    testing::appendToFile(empty, "");
    testing::appendToFile(stable, "content");
    EXPECT_EQ(evaluateAt(empty, {0ms, 10s, 4h}),
              (std::vector{Verdict::stillWriting, Verdict::stillWriting, Verdict::stillWriting}));
    EXPECT_EQ(evaluateAt(stable, {0ms}), std::vector{Verdict::stillWriting});
    EXPECT_EQ(evaluateAt(empty, {4h + 1s}), std::vector{Verdict::abandoned});
    EXPECT_EQ(evaluateAt(stable, {4h + 1s, 4h + 2s}),
              (std::vector{Verdict::abandoned, Verdict::stillWriting}));
}

TEST_F(FileSettleDetectorTest, VanishedFilesAndNonFilesAreIgnored) {
    const auto file = folder / "photo.jpg";
    testing::appendToFile(file, "jpeg");
    std::filesystem::create_directory(folder / "album");
    std::filesystem::create_symlink(file, folder / "link.jpg");
    EXPECT_EQ(evaluate(folder / "album"), Verdict::ignored);
    EXPECT_EQ(evaluate(folder / "link.jpg"), Verdict::ignored);
    EXPECT_EQ(evaluate(folder / "missing.jpg"), Verdict::ignored);
    EXPECT_EQ(evaluateAt(file, {0ms}), std::vector{Verdict::stillWriting});
    std::filesystem::remove(file);
    EXPECT_EQ(evaluateAt(file, {4s}), std::vector{Verdict::ignored});
    // Forgotten: the same name returning starts afresh.
    testing::appendToFile(file, "jpeg");
    EXPECT_EQ(evaluateAt(file, {8s, 11s}), (std::vector{Verdict::stillWriting, Verdict::settled}));
}

class MovieTest : public FileSettleDetectorTest {
protected:
    void SetUp() override {
        if (!testing::writeSampleMovie(folder / "whole.mp4") ||
            !testing::writeSampleMovie(folder / "faststart.mp4", true)) {
            GTEST_SKIP() << "ffmpeg is not available";
        }
    }

    std::filesystem::path cutCopy(const std::filesystem::path& source, const std::string& name) {
        const auto copy = folder / name;
        std::filesystem::copy_file(source, copy);
        std::filesystem::resize_file(copy, std::filesystem::file_size(copy) / 2);
        return copy;
    }
};

TEST_F(MovieTest, ContainerMustBeCompleteForMoviesOnly) {
    EXPECT_TRUE(FileSettleDetector::containerParses(folder / "whole.mp4"));
    EXPECT_TRUE(FileSettleDetector::containerParses(folder / "faststart.mp4"));
    // Index at the end, not written yet.
    EXPECT_FALSE(FileSettleDetector::containerParses(cutCopy(folder / "whole.mp4", "cut.mp4")));
    // Index first, describing samples that have not arrived.
    EXPECT_FALSE(FileSettleDetector::containerParses(cutCopy(folder / "faststart.mp4", "cutfast.mov")));
    testing::appendToFile(folder / "noise.m4a", std::string(4096, 'x'));
    EXPECT_FALSE(FileSettleDetector::containerParses(folder / "noise.m4a"));
    // Not a media type: nothing is read.
    std::filesystem::copy_file(folder / "cut.mp4", folder / "cut.bin");
    EXPECT_TRUE(FileSettleDetector::containerParses(folder / "cut.bin"));
    // A movie cut short is still being written, however long it stays quiet.
    EXPECT_EQ(evaluateAt(folder / "cut.mp4", {0ms, 4s}),
              (std::vector{Verdict::stillWriting, Verdict::stillWriting}));
    EXPECT_EQ(evaluateAt(folder / "whole.mp4", {0ms, 4s}),
              (std::vector{Verdict::stillWriting, Verdict::settled}));
}

} // namespace
} // namespace tarnwick
