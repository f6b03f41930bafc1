// Replays the partition-walk fuzz corpus: every seed and every input that once crashed or hung.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(PartitionWalkCorpus, EveryInputIsWalkedSafely)
{
    size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(RATEMARK_FUZZ_CORPUS))
    {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0);
        ++replayed;
    }
    EXPECT_GT(replayed, 0u) << "the corpus folder is empty";
}
