// Saving writes the file its user sees: through symbolic links, keeping mode, owner and hard
// links, and refusing a file the user may not write, while a failed write still leaves the
// previous file whole.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::Pattern;
using testing::ShellQuote;
using Bytes = std::vector<uint8_t>;

constexpr uid_t kNobody = 65534;

Bytes ReadBytes(const fs::path& path) {
    Bytes bytes;
    bool openFailed = false;
    ReadWholeFile(path.string(), bytes, openFailed);
    return bytes;
}

struct stat Stat(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

class SafeSave : public ::testing::Test {
protected:
    // A disk as its first version, and the changed image that is saved over it.
    void SetUp() override {
        auto first = testing::BlankD64("FIRST");
        oldBytes = first->Store().Snapshot();
        image = testing::BlankD64("SECOND");
        testing::AddFile(*image, {"NEW", 0x82, Pattern(700)});
        image->SetOwner(&ui);
    }
    void Put(const fs::path& path) {
        ASSERT_EQ(WriteWholeFile(path.string(), oldBytes), WriteResult::Ok);
    }

    testing::TempDir dir{"tessarind-save"};
    Bytes oldBytes;
    std::unique_ptr<D64Image> image;
    testing::RecordingInteraction ui;
};

TEST_F(SafeSave, TheFileKeepsWhatMakesItTheUsersFile) {
    struct Case {
        const char* what;
        std::function<fs::path()> prepare; // makes the file, returns the path saved to
        std::function<void(const fs::path& saved)> check;
    };
    const fs::path disk = dir / "disk.d64";
    const std::vector<Case> cases = {
        {"mode 600",
         [&] {
             Put(disk);
             fs::permissions(disk, fs::perms(0600));
             return disk;
         },
         [&](const fs::path&) { EXPECT_EQ(Stat(disk).st_mode & 07777, 0600u); }},
        {"mode 755",
         [&] {
             Put(disk);
             fs::permissions(disk, fs::perms(0755));
             return disk;
         },
         [&](const fs::path&) { EXPECT_EQ(Stat(disk).st_mode & 07777, 0755u); }},
        {"owner and group",
         [&] {
             Put(disk);
             // Only root may give a file away; others keep their own, which must not change.
             if (::geteuid() == 0) {
                 EXPECT_EQ(::chown(disk.c_str(), kNobody, kNobody), 0);
             }
             return disk;
         },
         [&](const fs::path&) {
             const uid_t owner = ::geteuid() == 0 ? kNobody : ::geteuid();
             EXPECT_EQ(Stat(disk).st_uid, owner);
             if (::geteuid() == 0) {
                 EXPECT_EQ(Stat(disk).st_gid, kNobody);
             }
         }},
        {"a symbolic link to a file in another folder",
         [&] {
             fs::create_directories(dir / "real");
             Put(dir / "real/target.d64");
             fs::create_symlink("real/target.d64", dir / "link.d64");
             return dir / "link.d64";
         },
         [&](const fs::path& saved) {
             EXPECT_TRUE(fs::is_symlink(saved));
             EXPECT_EQ(fs::read_symlink(saved), "real/target.d64");
             EXPECT_EQ(ReadBytes(dir / "real/target.d64"), image->Store().Snapshot());
         }},
        {"a link to a link",
         [&] {
             Put(dir / "deep.d64");
             fs::create_symlink(dir / "deep.d64", dir / "middle.d64");
             fs::create_symlink("middle.d64", dir / "top.d64");
             return dir / "top.d64";
         },
         [&](const fs::path& saved) {
             EXPECT_TRUE(fs::is_symlink(saved));
             EXPECT_TRUE(fs::is_symlink(dir / "middle.d64"));
             EXPECT_EQ(ReadBytes(dir / "deep.d64"), image->Store().Snapshot());
         }},
        {"hard links",
         [&] {
             Put(disk);
             fs::create_hard_link(disk, dir / "other-name.d64");
             return disk;
         },
         [&](const fs::path&) {
             EXPECT_EQ(Stat(disk).st_ino, Stat(dir / "other-name.d64").st_ino);
             EXPECT_EQ(Stat(disk).st_nlink, 2u);
             EXPECT_EQ(ReadBytes(dir / "other-name.d64"), image->Store().Snapshot());
         }},
        {"hard links to a longer file",
         [&] {
             Bytes longer = oldBytes;
             longer.resize(oldBytes.size() + 683, 1); // error bytes the new image drops
             EXPECT_EQ(WriteWholeFile(disk.string(), longer), WriteResult::Ok);
             fs::create_hard_link(disk, dir / "other-name.d64");
             return disk;
         },
         [&](const fs::path&) { EXPECT_EQ(ReadBytes(dir / "other-name.d64"), image->Store().Snapshot()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path saved = c.prepare();
        ASSERT_TRUE(image->WriteFile(saved.string()))
            << (ui.messages.empty() ? "" : ui.messages.back().text);
        EXPECT_EQ(ReadBytes(saved), image->Store().Snapshot());
        c.check(saved);
        for (const auto& f : fs::recursive_directory_iterator(dir.path()))
            EXPECT_EQ(f.path().string().find(".ts"), std::string::npos)
                << "left behind: " << f.path();
        fs::remove_all(dir.path());
        fs::create_directory(dir.path());
    }
}

// The tool run as a user without root's rights: the machine runs the tests as root, who may
// write any file, so the refusal of a read-only file is seen through an unprivileged user.
class SafeSaveAsUser : public SafeSave {
protected:
    testing::ProcessResult CliAsUser(const std::vector<std::string>& args, const fs::path& where) {
        std::string command = testing::AsUnprivilegedUser() + ShellQuote(TESSARIND_CLI);
        for (const std::string& a : args)
            command += " " + ShellQuote(a);
        return testing::RunProcess({"sh", "-c", command + " 2>&1"}, where);
    }
};

TEST_F(SafeSaveAsUser, AReadOnlyFileIsRefusedWithThePathAndTheReason) {
    fs::permissions(dir.path(), fs::perms(0777)); // the folder lets anyone make files in it
    ASSERT_TRUE(image->WriteFile((dir / "ro.d64").string()));
    fs::permissions(dir / "ro.d64", fs::perms(0444));
    const Bytes before = ReadBytes(dir / "ro.d64");
    // The mechanism itself must work here, or this test proves nothing.
    testing::ProcessResult who = CliAsUser({"list", "ro.d64"}, dir.path());
    ASSERT_EQ(who.exitCode, 0) << "the tool cannot be run as an unprivileged user here: "
                               << who.output;

    testing::ProcessResult refused = CliAsUser({"lock", "ro.d64", "NEW"}, dir.path());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.output, "Unable to Save File ro.d64: Permission denied\n");
    EXPECT_EQ(ReadBytes(dir / "ro.d64"), before);
    EXPECT_EQ(Stat(dir / "ro.d64").st_mode & 07777, 0444u);

    // A file the user may write in a folder the user may not: written in place.
    fs::create_directory(dir / "locked");
    ASSERT_TRUE(image->WriteFile((dir / "locked/rw.d64").string()));
    fs::permissions(dir / "locked/rw.d64", fs::perms(0666));
    fs::permissions(dir / "locked", fs::perms(0555));
    testing::ProcessResult inPlace = CliAsUser({"lock", "locked/rw.d64", "NEW"}, dir.path());
    fs::permissions(dir / "locked", fs::perms(0755));
    EXPECT_EQ(inPlace.exitCode, 0) << inPlace.output;
    auto locked = testing::BlankD64();
    locked->Store().Assign(ReadBytes(dir / "locked/rw.d64"));
    locked->Refresh();
    EXPECT_EQ(locked->EntryAt(0).type(), 0xC2);
}

} // namespace
} // namespace tessarind
