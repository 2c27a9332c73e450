#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "catalog/FolderSearch.h"
#include "catalog/ImageOpener.h"
#include "catalog/OrderedWork.h"
#include "model/FileBlockStore.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"
#include "text/Petscii.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;
using testing::TempDir;

void Put(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Every range reads the file's own bytes, and only the pages under it; what was changed in
// memory survives reading the rest.
TEST(FileBlockStore, ReadsThePagesReachedAndKeepsChanges) {
    TempDir dir;
    struct Case {
        size_t size, offset, length;
        bool reaches;
    } cases[] = {
        {174848, 0x16500, 256, true},       // a D64's BAM block
        {174848, 4095, 2, true},            // across two pages
        {174848, 174848 - 256, 256, true},  // the last block
        {174848, 174848 - 255, 256, false}, // past the end
        {100, 0, 100, true},                // shorter than a page
        {100, 100, 0, true},                // nothing, at the end
        {0, 0, 1, false},                   // an empty file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + "@" + std::to_string(c.offset));
        const std::vector<uint8_t> file = Pattern(c.size, static_cast<uint32_t>(c.offset + 7));
        Put(dir / "image", file);
        std::unique_ptr<FileBlockStore> store = FileBlockStore::Open((dir / "image").string());
        ASSERT_TRUE(store);
        EXPECT_EQ(store->Size(), c.size);
        const uint64_t before = FileBlockStore::BytesRead();
        uint8_t* p = store->At(c.offset, c.length);
        ASSERT_EQ(p != nullptr, c.reaches);
        const uint64_t read = FileBlockStore::BytesRead() - before;
        if (!c.reaches || c.length == 0) {
            EXPECT_EQ(read, 0u);
            continue;
        }
        EXPECT_TRUE(std::equal(p, p + c.length, file.begin() + static_cast<ptrdiff_t>(c.offset)));
        EXPECT_LE(read, 2 * 4096u);
        EXPECT_GE(read, c.length);
        p[0] ^= 0xFF;
        std::vector<uint8_t> changed = file;
        changed[c.offset] ^= 0xFF;
        const std::span<const uint8_t> whole = store->Contents();
        EXPECT_TRUE(std::equal(whole.begin(), whole.end(), changed.begin(), changed.end()));
        EXPECT_TRUE(store->Complete());
        EXPECT_FALSE(store->Failed());
    }
    EXPECT_FALSE(FileBlockStore::Open((dir / "absent").string()));
    EXPECT_FALSE(FileBlockStore::Open(dir.path().string())); // a folder
}

// A file cut short after it was opened gives missing blocks, never made-up bytes.
TEST(FileBlockStore, AFileCutShortGivesMissingBlocks) {
    TempDir dir;
    Put(dir / "image", Pattern(3 * 4096));
    std::unique_ptr<FileBlockStore> store = FileBlockStore::Open((dir / "image").string());
    ASSERT_TRUE(store && store->At(0, 16));
    fs::resize_file(dir / "image", 4096);
    EXPECT_EQ(store->At(2 * 4096, 16), nullptr);
    EXPECT_TRUE(store->Failed());
    EXPECT_EQ(store->Contents().size(), 3 * 4096u);
}

// Searching a disk read on demand finds what the whole disk gives, reading a few pages.
TEST(FileBlockStore, SearchReadsTheDirectoryOnly) {
    TempDir dir;
    auto disk = BlankD64("LAZY");
    for (int i = 0; i < 20; ++i)
        AddFile(*disk, {"FILE" + std::to_string(i), 0x82, Pattern(254 * (i % 5 + 1), i)});
    const std::string path = (dir / "lazy.d64").string();
    ASSERT_TRUE(disk->WriteFile(path));
    const auto search = [&](bool onDemand) {
        std::optional<ReadOnDemandScope> scope;
        if (onDemand) scope.emplace();
        Settings settings;
        std::unique_ptr<DiskImage> image =
            OpenContainer(nullptr, path, {}, 0, nullptr, false, &settings);
        std::vector<std::string> hits;
        EXPECT_TRUE(image);
        if (image)
            FindFiles(*image, PetsciiName("*"), path, [&](const FoundFile& hit) {
                hits.push_back(hit.name + "/" + std::to_string(hit.blocks));
            });
        return hits;
    };
    const std::vector<std::string> whole = search(false);
    const uint64_t before = FileBlockStore::BytesRead();
    EXPECT_EQ(search(true), whole);
    EXPECT_EQ(whole.size(), 20u);
    EXPECT_LE(FileBlockStore::BytesRead() - before, 16u * 1024);
    EXPECT_GT(FileBlockStore::BytesRead() - before, 0u);
}

// Deliveries come in the order the files were found, whatever the threads, and a cancelled
// run delivers a prefix of them.
TEST(RunInOrder, DeliversInSourceOrder) {
    struct Case {
        int workers;
        int cancelAfter; // -1: not cancelled
    } cases[] = {{1, -1}, {2, -1}, {3, -1}, {8, -1}, {1, 17}, {4, 17}};
    constexpr int kFiles = 150;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.workers);
        std::atomic<bool> cancel{false};
        std::vector<std::string> found, delivered;
        std::mutex mutex;
        std::set<std::thread::id> threads;
        const FileSource source = [&](const std::function<bool(const std::string&)>& add) {
            for (int i = 0; i < kFiles; ++i) {
                found.push_back("f" + std::to_string(i));
                if (!add(found.back())) return;
            }
        };
        const FileWork work = [&](const std::string& path, int worker) -> Delivery {
            EXPECT_LT(worker, c.workers);
            {
                std::lock_guard lock(mutex);
                threads.insert(std::this_thread::get_id());
            }
            // Uneven work, so later files often finish first.
            for (int spin = 0; spin < (path.size() % 2 ? 300 : 0); ++spin)
                std::this_thread::yield();
            return [&, path] {
                delivered.push_back(path);
                if (c.cancelAfter >= 0 && static_cast<int>(delivered.size()) == c.cancelAfter)
                    cancel = true;
            };
        };
        RunInOrder(c.workers, source, work, &cancel);
        if (c.cancelAfter < 0) {
            EXPECT_EQ(delivered, found);
        } else {
            EXPECT_GE(delivered.size(), static_cast<size_t>(c.cancelAfter));
            EXPECT_LT(delivered.size(), static_cast<size_t>(kFiles));
            EXPECT_TRUE(std::equal(delivered.begin(), delivered.end(), found.begin()));
        }
        if (c.workers == 1) {
            EXPECT_EQ(threads, std::set{std::this_thread::get_id()});
        }
    }
}

} // namespace
} // namespace tessarind
