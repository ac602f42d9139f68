// File streams: samples read where they lie and converted to what a device plays, and a file
// changed on disk while it plays.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/sim_backend.h"
#include "audio_test_util.h"

namespace quillar::audio::test {
namespace {

namespace fs = std::filesystem;

class FileStreamTest : public ::testing::Test {
  protected:
    FileStreamTest() : sim(*new SimBackend), engine(std::unique_ptr<AudioBackend>(&sim)) {
        EXPECT_TRUE(engine.initOutput(-1, 44100));
        dir = fs::temp_directory_path() / ("quillar_file_stream_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    ~FileStreamTest() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    SimBackend& sim;
    AudioEngine engine;
    fs::path dir;
};

std::vector<std::uint8_t> withTag(std::vector<std::uint8_t> image, std::uint16_t tag) {
    image[20] = static_cast<std::uint8_t>(tag);
    image[21] = static_cast<std::uint8_t>(tag >> 8);
    return image;
}

TEST_F(FileStreamTest, SamplesReachTheDeviceInAFormatItPlays) {
    double half = 0.5;
    std::uint8_t halfBytes[8];
    std::memcpy(halfBytes, &half, 8);
    const float halfFloat = 0.5f;
    std::uint8_t halfFloatBytes[4];
    std::memcpy(halfFloatBytes, &halfFloat, 4);
    const struct {
        const char* name;
        std::uint16_t tag, bits;
        std::vector<std::uint8_t> sample;  // one mono sample as stored
        std::vector<std::uint8_t> played;  // what the device gets for it
    } cases[] = {
        {"16-bit as it is", 1, 16, {0x34, 0x12}, {0x34, 0x12}},
        {"24-bit into the top of 32 bits", 1, 24, {0x56, 0x34, 0x92}, {0, 0x56, 0x34, 0x92}},
        {"64-bit float to 32-bit",
         3,
         64,
         {halfBytes, halfBytes + 8},
         {halfFloatBytes, halfFloatBytes + 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> data;
        for (int i = 0; i < 100; ++i) {
            data.insert(data.end(), c.sample.begin(), c.sample.end());
        }
        const std::string path = write("f.wav", withTag(wavImage(8000, 1, c.bits, data), c.tag));
        FileVerdict verdict;
        const Handle s = engine.createFileStream(path, &verdict);
        ASSERT_NE(s, 0u);
        EXPECT_EQ(verdict.problem, FileProblem::None);
        EXPECT_EQ(engine.lengthBytes(s), static_cast<std::int64_t>(100 * c.played.size()));
        ASSERT_TRUE(engine.play(s, true));
        sim.pumpOutput(200);
        const auto played = sim.playedBytes(s);
        ASSERT_EQ(played.size(), 100 * c.played.size());
        EXPECT_TRUE(std::equal(c.played.begin(), c.played.end(), played.end() - c.played.size()));
        EXPECT_EQ(engine.state(s), 0);
        engine.freeStream(s);
    }
}

TEST_F(FileStreamTest, AFileReplacedByRenamePlaysOnAsItWas) {
    const std::vector<std::uint8_t> data(4000, 0x21);
    const std::string path = write("take.wav", wavImage(8000, 2, 16, data));
    const Handle s = engine.createFileStream(path);
    ASSERT_NE(s, 0u);
    ASSERT_TRUE(engine.play(s, true));
    sim.pumpOutput(100);
    const std::string fresh = write("take.wav.tmp", wavImage(8000, 2, 16, {1, 2, 3, 4}));
    fs::rename(fresh, path);
    sim.pumpOutput(2000);
    const auto played = sim.playedBytes(s);
    EXPECT_EQ(played, data);
}

TEST_F(FileStreamTest, AFileCutShortInPlaceEndsWhereItsDataStops) {
    const std::vector<std::uint8_t> data(4000, 0x21);
    const std::string path = write("take.wav", wavImage(8000, 2, 16, data));
    const Handle s = engine.createFileStream(path);
    ASSERT_NE(s, 0u);
    int notices = 0;
    engine.setEndNotice(s, [&](Handle) { ++notices; });
    ASSERT_TRUE(engine.play(s, true));
    sim.pumpOutput(100);  // 400 bytes played
    ASSERT_EQ(::truncate(path.c_str(), 44 + 1000), 0);
    sim.pumpOutput(2000);
    EXPECT_EQ(engine.positionBytes(s), 1000);
    EXPECT_EQ(engine.lengthBytes(s), 1000);  // position = length: the player sees its end
    EXPECT_EQ(engine.state(s), 0);
    EXPECT_EQ(notices, 1);
}

TEST_F(FileStreamTest, WhyAFileDoesNotPlay) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        FileProblem problem;
    } cases[] = {
        {"empty", {}, FileProblem::Empty},
        {"MP3",
         {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0x10, 0xFF, 0xFB, 0x90, 0x64},
         FileProblem::NotWav},
        {"header cut short",
         [] {
             auto w = wavImage(8000, 2, 16, {});
             w.resize(30);
             return w;
         }(),
         FileProblem::Damaged},
        {"ADPCM", withTag(wavImage(8000, 2, 4, {1, 2}), 2), FileProblem::UnsupportedFormat},
        {"no frames", wavImage(8000, 2, 16, {}), FileProblem::NoAudio},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FileVerdict verdict;
        EXPECT_EQ(engine.createFileStream(write("bad.wav", c.bytes), &verdict), 0u);
        EXPECT_EQ(verdict.problem, c.problem);
    }
    FileVerdict verdict;
    EXPECT_EQ(engine.createFileStream((dir / "missing.wav").string(), &verdict), 0u);
    EXPECT_EQ(verdict.problem, FileProblem::CannotOpen);
    EXPECT_EQ(engine.createFileStream(dir.string(), &verdict), 0u);  // a folder
    EXPECT_EQ(verdict.problem, FileProblem::CannotOpen);
    EXPECT_EQ(sim.openStreamCount(), 0);
}

}  // namespace
}  // namespace quillar::audio::test
