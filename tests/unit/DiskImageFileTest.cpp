#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;
using testing::RecordingInteraction;
using testing::RecordingObserver;

class DiskImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) /
              ("tessarind-files-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::vector<uint8_t> Read(const fs::path& p) {
        std::vector<uint8_t> out;
        bool openFailed = false;
        EXPECT_TRUE(ReadWholeFile(p.string(), out, openFailed));
        return out;
    }
    fs::path dir;
};

TEST_F(DiskImageFiles, OpenLoadsTitlesAndCounts) {
    auto made = BlankD64("T");
    AddFile(*made, {"ONE", 0x82, Pattern(100)});
    fs::path p = dir / "game.d64";
    ASSERT_TRUE(made->WriteFile(p.string()));

    RecordingInteraction ui;
    D64Image image;
    ASSERT_TRUE(image.Open(&ui, p.string(), true, false));
    EXPECT_EQ(image.title(), "game.d64");
    EXPECT_EQ(image.entryCount(), 1);
    EXPECT_FALSE(image.untitled());
    EXPECT_FALSE(image.modified());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DiskImageFiles, MissingFileReportsItsName) {
    RecordingInteraction ui;
    D64Image image;
    EXPECT_FALSE(image.Open(&ui, (dir / "nothere.d64").string(), true, false));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Unable to Open File nothere.d64");
    EXPECT_EQ(ui.messages[0].caption, "Error");
    // Without an interaction nothing is shown and the result is the same.
    D64Image quiet;
    EXPECT_FALSE(quiet.Open(nullptr, (dir / "nothere.d64").string(), true, false));
}

TEST_F(DiskImageFiles, UntitledImageShowsNewDisk) {
    D64Image image;
    ASSERT_TRUE(image.Open(nullptr, "", false, true));
    EXPECT_EQ(image.path(), "New Disk");
    EXPECT_TRUE(image.untitled());
    EXPECT_EQ(image.DefaultExtension(), ".d64");
    EXPECT_TRUE(image.CanAcceptKind(12));  // .prg
    EXPECT_FALSE(image.CanAcceptKind(1)); // .d64
    EXPECT_FALSE(image.CanAcceptKind(999));
}

TEST_F(DiskImageFiles, ModifiedMarkAppearsOnce) {
    auto image = BlankD64();
    RecordingObserver view;
    image->AttachDirectoryView(&view);
    image->SetPath("/x/disk.d64");
    image->SetModified(true);
    EXPECT_EQ(view.windowText, "disk.d64 *");
    view.windowText.clear();
    image->SetModified(true);
    EXPECT_EQ(view.windowText, "");
    image->SetModified(false);
    EXPECT_EQ(view.windowText, "disk.d64");
}

TEST_F(DiskImageFiles, FailedWriteKeepsThePreviousFileAndTheModifiedMark) {
    auto image = BlankD64("FIRST");
    fs::path p = dir / "keep.d64";
    ASSERT_TRUE(image->WriteFile(p.string()));
    std::vector<uint8_t> saved = Read(p);
    image->ToggleBlock(1, 1);
    RecordingInteraction ui;
    image->SetOwner(&ui);
    // A file-size limit makes the write itself fail part way, as a full disk would.
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = image->WriteFile(p.string());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Error on Save " + p.string() + ": File too large");
    EXPECT_EQ(ui.messages[0].caption, "Error");
    EXPECT_TRUE(image->modified());
    EXPECT_EQ(Read(p), saved);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    const fs::path nowhere = dir / "no-such-folder" / "x.d64";
    EXPECT_FALSE(image->WriteFile(nowhere.string()));
    EXPECT_EQ(ui.messages.back().text,
              "Unable to Save File " + nowhere.string() + ": No such file or directory");
    EXPECT_TRUE(image->modified());
}

TEST_F(DiskImageFiles, SaveWritesUnderTheSafeTitle) {
    auto image = BlankD64();
    image->Open(nullptr, (dir / "we?ird:na|me.d64").string(), false, true);
    image->ToggleBlock(2, 2);
    ASSERT_TRUE(image->Save(false));
    EXPECT_TRUE(fs::exists(dir / "weirdname.d64"));
    EXPECT_EQ(image->title(), "weirdname.d64");
    EXPECT_FALSE(image->modified());
}

TEST_F(DiskImageFiles, UntitledSaveAsksForANameAndRemembersIt) {
    Settings settings;
    auto image = BlankD64("", "00 2A", &settings);
    RecordingInteraction ui;
    image->SetOwner(&ui);
    EXPECT_FALSE(image->Save(false)); // cancelled
    ASSERT_EQ(ui.saveRequests.size(), 1u);
    EXPECT_EQ(ui.saveRequests[0].proposedName, "New Disk");
    EXPECT_EQ(ui.saveRequests[0].defaultExtension, "d64");
    EXPECT_TRUE(image->untitled());

    fs::path p = dir / "named.d64";
    ui.saveChoices.push_back(SaveChoice{p.string(), true, false});
    ASSERT_TRUE(image->Save(false));
    EXPECT_FALSE(image->untitled());
    EXPECT_EQ(image->path(), p.string());
    EXPECT_EQ(settings.fileMru[0], p.string());
    EXPECT_EQ(Read(p).size(), 174848u);
    EXPECT_TRUE(settings.saveIncludeSubDirectories);
    EXPECT_EQ(settings.lastSaveFolder, dir.string() + "/");
}

TEST_F(DiskImageFiles, SaveAsTextWritesAListingAndKeepsTheImage) {
    auto image = BlankD64("LISTED", "LI 2A");
    AddFile(*image, {"FILE", 0x82, Pattern(100)});
    fs::path own = dir / "own.d64";
    image->Open(nullptr, own.string(), false, false);
    image->ToggleBlock(3, 3);
    RecordingInteraction ui;
    image->SetOwner(&ui);
    fs::path txt = dir / "listing.TXT";
    ui.saveChoices.push_back(SaveChoice{txt.string(), false, false});
    ASSERT_TRUE(image->Save(true));
    std::vector<uint8_t> text = Read(txt);
    // The listing names the container it came from.
    EXPECT_EQ(std::string(text.begin(), text.end()).substr(0, own.string().size() + 28),
              own.string() + "\r\n0 \"LISTED          \" LI 2A");
    EXPECT_EQ(image->path(), own.string());
    EXPECT_TRUE(image->modified());
    EXPECT_FALSE(fs::exists(own));
}

TEST_F(DiskImageFiles, QuerySaveFollowsTheAnswer) {
    Settings settings;
    auto image = BlankD64("", "00 2A", &settings);
    RecordingInteraction ui;
    image->SetOwner(&ui);
    EXPECT_TRUE(image->QuerySave()); // unchanged: no question
    EXPECT_TRUE(ui.questions.empty());

    image->ToggleBlock(1, 0);
    ui.answers = {Answer::Cancel};
    EXPECT_FALSE(image->QuerySave());
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, "Disk Image has changed, do you wish to save?");
    EXPECT_EQ(ui.questions[0].caption, "Save");

    ui.answers = {Answer::No};
    EXPECT_TRUE(image->QuerySave());

    // Yes on an untitled image whose save dialog is cancelled: the close is cancelled.
    ui.answers = {Answer::Yes};
    EXPECT_FALSE(image->QuerySave());
    EXPECT_EQ(ui.messages.back().text, "Unable to save Disk Image");

    settings.Set(SettingId::ConfirmSave, 0);
    size_t asked = ui.questions.size();
    EXPECT_TRUE(image->QuerySave());
    EXPECT_EQ(ui.questions.size(), asked);
}

TEST_F(DiskImageFiles, ClosingSeveralReusesAnAllAnswer) {
    auto a = BlankD64();
    auto b = BlankD64();
    RecordingInteraction ui;
    for (auto* image : {a.get(), b.get()}) {
        image->SetOwner(&ui);
        image->ToggleBlock(1, 0);
    }
    CloseAllState closing{true, std::nullopt};
    ui.answers = {Answer::NoToAll};
    EXPECT_TRUE(a->QuerySave(&closing));
    EXPECT_TRUE(b->QuerySave(&closing));
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].caption, "Confirm Save");
}

TEST_F(DiskImageFiles, LoadFromMemoryReplacesTheBytes) {
    auto source = BlankD64("MEMORY");
    AddFile(*source, {"X", 0x82, Pattern(50)});
    D64Image image;
    image.Open(nullptr, "", false, true);
    EXPECT_TRUE(image.LoadFromMemory(source->Store().Snapshot()));
    EXPECT_EQ(image.entryCount(), 1);
    std::vector<uint8_t> tooLong(source->Store().Snapshot());
    tooLong.push_back(0);
    EXPECT_FALSE(image.LoadFromMemory(tooLong));
}

} // namespace
} // namespace tessarind
