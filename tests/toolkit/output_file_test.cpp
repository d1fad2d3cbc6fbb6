// The output file: the target holds all that was written or what it held before, and nothing
// is left beside it either way.
#include "toolkit/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(OutputFile, TheTargetHoldsAllOfItOrWhatItHeldBefore) {
    const fs::path folder = fs::temp_directory_path() / "varnok-output-test";
    struct Case {
        const char* before; // null: no file there yet
        bool keep;
        const char* after; // null: no file there; "written": what was written
    };
    for (const Case& c : {Case{nullptr, true, "written"}, Case{nullptr, false, nullptr},
                          Case{"old", true, "written"}, Case{"old", false, "old"}}) {
        fs::remove_all(folder);
        fs::create_directory(folder);
        const fs::path target = folder / "tone.wav";
        if (c.before) std::ofstream(target, std::ios::binary) << c.before;
        OutputFile* out = output_open(target.string().c_str());
        ASSERT_NE(out, nullptr);
        const std::string written("new\n\0x", 6);
        EXPECT_TRUE(output_write(out, written.data(), 3));
        EXPECT_TRUE(output_write(out, written.data() + 3, 3));
        EXPECT_EQ(output_close(out, c.keep), 0);
        const auto files = std::distance(fs::directory_iterator(folder), {});
        EXPECT_EQ(files, c.after ? 1 : 0) << c.keep;
        if (c.after) {
            EXPECT_EQ(contents(target), c.keep ? written : c.after);
        }
    }
    EXPECT_EQ(output_open((folder / "no-such-folder" / "tone.wav").string().c_str()), nullptr);
    fs::remove_all(folder);
}

} // namespace
