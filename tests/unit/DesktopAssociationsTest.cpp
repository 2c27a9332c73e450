// File associations on an XDG desktop, against a private data and config home: the files
// written, and what the system's own tools (xdg-mime) then report.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalog/DesktopAssociations.h"
#include "support/Process.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteExecutable(const std::filesystem::path& path) {
    std::ofstream(path) << "#!/bin/sh\nexit 0\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

const AssociationKind& Kind(const std::vector<AssociationKind>& kinds, std::string_view ext) {
    for (const AssociationKind& kind : kinds)
        if (kind.extension == ext) return kind;
    ADD_FAILURE() << "no kind " << ext;
    return kinds.front();
}

// A home of its own: nothing of the real user's desktop is read or written.
class PrivateDesktop {
public:
    PrivateDesktop() {
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CURRENT_DESKTOP",
                                 "XDG_DATA_DIRS", "DESKTOP_SESSION", "KDE_FULL_SESSION"}) {
            const char* value = std::getenv(name);
            saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
        }
        setenv("HOME", dir_.path().c_str(), 1);
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        // The system's types stay visible; the desktop is the generic one.
        setenv("XDG_DATA_DIRS", "/usr/share", 1);
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION"})
            unsetenv(name);
        std::filesystem::create_directories(dir_ / "data/applications");
        std::filesystem::create_directories(dir_ / "config");
    }
    ~PrivateDesktop() {
        for (const auto& [name, value] : saved_)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
    const std::filesystem::path& path() const { return dir_.path(); }

private:
    TempDir dir_{"tessarind-xdg"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace

TEST(DesktopAssociations, AssociateAllThenUncheckKeepsOtherOwners) {
    PrivateDesktop desktop;
    const std::filesystem::path home = desktop.path();
    const std::string ours = (home / "bin/tessarind").string();
    const std::string other = (home / "bin/otheremu").string();
    std::filesystem::create_directories(home / "bin");
    WriteExecutable(ours);
    WriteExecutable(other);
    // Another program already opens 1571 images.
    std::ofstream(home / "data/applications/otheremu.desktop")
        << "[Desktop Entry]\nType=Application\nName=Other\nExec=" << other
        << " %f\nMimeType=application/x-d71;\n";
    std::ofstream(home / "config/mimeapps.list")
        << "[Default Applications]\napplication/x-d71=otheremu.desktop\n";

    // Four kinds stand for all: each asks the system once or twice, and that is slow.
    std::vector<AssociationKind> kinds;
    for (const AssociationKind& kind : AssociationKinds())
        if (kind.extension == "d64" || kind.extension == "d71" || kind.extension == "prg" ||
            kind.extension == "t64")
            kinds.push_back(kind);
    ASSERT_EQ(kinds.size(), 4u);
    {
        DesktopAssociations associations(ours, {}, kinds);
        associations.AssociateAll();
        EXPECT_EQ(ReadText(associations.MimePackagePath()), DesktopAssociations::MimePackage());
        const std::string entry = ReadText(associations.DesktopEntryPath());
        EXPECT_NE(entry.find("Exec=" + ours + " %f"), std::string::npos) << entry;
        EXPECT_NE(entry.find("application/x-d64;"), std::string::npos) << entry;
        EXPECT_EQ(entry.find("application/x-d71;"), std::string::npos) << entry;
    }

    // What the system reports: our types for our extensions, in either case.
    for (const char* name : {"disk.d64", "DISK.D64", "tape.t64"}) {
        std::ofstream(home / name) << std::string(64, '\0');
        const ProcessResult type =
            RunProcess({"xdg-mime", "query", "filetype", (home / name).string()});
        const std::string ext = std::filesystem::path(name).extension().string().substr(1);
        std::string lower = ext;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(type.output, "application/x-" + lower + "\n") << name;
    }

    // The dialog's OK: 1541 unchecked (ours: given up), 1571 unchecked (another's: kept),
    // PRG checked (ours), the rest as -a left them.
    struct Expect {
        const char* ext;
        bool checked;
        const char* ownerAfterAll; // "ours", "other" or ""
        const char* ownerAfterApply;
    };
    const Expect table[] = {
        {"d64", false, "ours", ""},
        {"d71", false, "other", "other"},
        {"prg", true, "ours", "ours"},
        {"t64", true, "ours", "ours"},
    };
    DesktopAssociations associations(ours, {}, kinds);
    auto owner = [&](const AssociationKind& kind) -> std::string {
        const std::string program = associations.CurrentProgram(kind);
        if (program.empty()) return "";
        if (associations.IsOurs(program)) return "ours";
        return program.rfind(other, 0) == 0 ? "other" : program;
    };
    std::vector<bool> checked(kinds.size(), false);
    for (const Expect& e : table) {
        EXPECT_EQ(owner(Kind(kinds, e.ext)), e.ownerAfterAll) << e.ext;
        checked[static_cast<size_t>(&Kind(kinds, e.ext) - kinds.data())] = e.checked;
    }
    associations.Apply(checked);
    for (const Expect& e : table)
        EXPECT_EQ(owner(Kind(kinds, e.ext)), e.ownerAfterApply) << e.ext;
    const std::string entry = ReadText(associations.DesktopEntryPath());
    EXPECT_EQ(entry.find("application/x-d64;"), std::string::npos) << entry;
}

TEST(DesktopAssociations, InstalledFilesMatchWhatTheProgramWrites) {
    std::vector<std::string> types;
    for (const AssociationKind& kind : AssociationKinds())
        types.push_back(kind.mimeType);
    const std::filesystem::path resources =
        std::filesystem::path(TESSARIND_SOURCE_DIR) / "resources";
    EXPECT_EQ(ReadText(resources / "tessarind.xml"), DesktopAssociations::MimePackage());
    EXPECT_EQ(ReadText(resources / "tessarind.desktop"),
              DesktopAssociations::DesktopEntry("tessarind", types));
}
