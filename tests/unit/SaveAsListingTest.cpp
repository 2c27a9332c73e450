// Save As with a listing kind: the directory goes to a text, CSV or bitmap file and the
// container stays what it was.

#include <gtest/gtest.h>

#include <filesystem>

#include "formats/D81Image.h"
#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "support/Process.h"
#include "support/Recorders.h"
#include "catalog/DirectoryPicture.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;
using testing::RawName;
using testing::RecordingInteraction;
using testing::TempDir;

// A view that shows the lower/upper-case set in white on black, with entries 1..2 selected.
class LowerCaseView : public ImageObserver {
public:
    bool ShowsLowerCase() const override { return true; }
    void DescribeListingStyle(CbmTextStyle& style) const override {
        style.caseTable = &kLowerCaseSet;
        style.text = 0xFFFFFF;
        style.background = 0x000000;
    }
    bool SelectedRange(int& first, int& last) const override {
        first = 1;
        last = 2;
        return true;
    }
};

class SaveAsListing : public ::testing::Test {
protected:
    void SetUp() override {
        image = BlankD64("LISTED", "LI 2A", &settings);
        AddFile(*image, {"FIRST", 0x82, Pattern(300)});
        AddFile(*image, {"SECOND", 0x81, Pattern(10)});
        AddFile(*image, {"THIRD", 0x83, Pattern(600)});
        image->Open(nullptr, Own(), false, false);
        image->ToggleBlock(3, 3); // a change not yet saved
        image->SetOwner(&ui);
    }
    std::string Own() const { return (dir / "own.d64").string(); }
    // Save As to `name`; the listing's bytes, or none when it was not written.
    std::optional<std::vector<uint8_t>> SaveAs(const std::string& name, bool subDirectories = false,
                                               bool selection = false) {
        const fs::path target = dir / name;
        ui.saveChoices.push_back(SaveChoice{target.string(), subDirectories, selection});
        if (!image->Save(true)) return std::nullopt;
        std::vector<uint8_t> bytes;
        bool openFailed = false;
        EXPECT_TRUE(ReadWholeFile(target.string(), bytes, openFailed));
        return bytes;
    }
    static std::string AsText(const std::optional<std::vector<uint8_t>>& bytes) {
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("(not written)");
    }
    // The container is untouched by a listing: same path, still changed, no file of its own.
    void ExpectImageKept() {
        EXPECT_EQ(image->path(), Own());
        EXPECT_TRUE(image->modified());
        EXPECT_FALSE(fs::exists(Own()));
    }

    TempDir dir{"tessarind-saveas"};
    Settings settings;
    RecordingInteraction ui;
    std::unique_ptr<D64Image> image;
};

TEST_F(SaveAsListing, DialogOffersTheImageKindThenTheListingKinds) {
    ui.saveChoices.push_back(std::nullopt);
    EXPECT_FALSE(image->Save(true));
    ASSERT_EQ(ui.saveRequests.size(), 1u);
    std::vector<std::string> offered;
    for (const SaveFilter& f : ui.saveRequests[0].filters)
        offered.push_back(f.displayName + " " + f.extension);
    ASSERT_EQ(offered.size(), 4u);
    EXPECT_EQ(offered[1], "Bitmap .bmp");
    EXPECT_EQ(offered[2], "Comma Separated .csv");
    EXPECT_EQ(offered[3], "Text .txt");
    EXPECT_EQ(offered[0].substr(offered[0].size() - 4), ".d64");
}

TEST_F(SaveAsListing, TextAndCsvCarryThePathAndTheEntries) {
    const std::string text = AsText(SaveAs("list.txt"));
    ASSERT_EQ(text.substr(0, Own().size() + 2), Own() + "\r\n");
    EXPECT_EQ(text.substr(Own().size() + 2, 26), "0 \"LISTED          \" LI 2A");
    EXPECT_NE(text.find("\"SECOND\""), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 3), "\n\r\n");
    ExpectImageKept();

    EXPECT_EQ(AsText(SaveAs("list.CSV")), Own() + "\n0,LISTED          ,LI ,2A\n"
                                                  "2,FIRST           ,PRG\n"
                                                  "1,SECOND          ,SEQ\n"
                                                  "3,THIRD           ,USR\n");
    ExpectImageKept();
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SaveAsListing, ListingFollowsTheViewsCharacterSetAndSelection) {
    LowerCaseView view;
    image->AttachDirectoryView(&view);
    EXPECT_EQ(AsText(SaveAs("list.csv")).substr(Own().size() + 1, 25), "0,listed          ,li ,2a");
    const std::string text = AsText(SaveAs("list.txt"));
    EXPECT_NE(text.find("\"second\""), std::string::npos);

    // Only the selected entries when asked, drawn as the view draws them.
    std::optional<std::vector<uint8_t>> whole = SaveAs("whole.bmp");
    std::optional<std::vector<uint8_t>> selected = SaveAs("selected.bmp", false, true);
    ASSERT_TRUE(whole && selected);
    BitmapExportOptions expected;
    view.DescribeListingStyle(expected.style);
    EXPECT_EQ(*whole, EncodeBitmap(ListingPicture(*image, expected)));
    EXPECT_NE(*whole, EncodeBitmap(ListingPicture(*image, BitmapExportOptions{})));
    expected.selectionOnly = true;
    expected.selectionFirst = 1;
    expected.selectionLast = 2;
    Picture rows = ListingPicture(*image, expected);
    EXPECT_EQ(rows.height, 2 * 8);
    EXPECT_EQ(*selected, EncodeBitmap(rows));
    ExpectImageKept();
    image->DetachView(&view);
}

TEST_F(SaveAsListing, SubDirectoriesOnlyWhenAsked) {
    D81Image disk(&settings);
    ASSERT_TRUE(disk.Open(nullptr, "", false, true));
    ASSERT_TRUE(testing::AddPartitionSample(disk));
    disk.SetOwner(&ui);
    auto saveAs = [&](const std::string& name, bool subDirectories) {
        ui.saveChoices.push_back(SaveChoice{(dir / name).string(), subDirectories, false});
        return disk.Save(true);
    };
    ASSERT_TRUE(saveAs("flat.csv", false));
    ASSERT_TRUE(saveAs("deep.csv", true));
    std::vector<uint8_t> flat, deep;
    bool openFailed = false;
    ASSERT_TRUE(ReadWholeFile((dir / "flat.csv").string(), flat, openFailed));
    ASSERT_TRUE(ReadWholeFile((dir / "deep.csv").string(), deep, openFailed));
    const std::string flatText(flat.begin(), flat.end()), deepText(deep.begin(), deep.end());
    EXPECT_EQ(flatText.find("INSIDE"), std::string::npos);
    EXPECT_EQ(deepText, flatText + "3,INSIDE          ,SEQ\n");

    ASSERT_TRUE(saveAs("deep.bmp", true));
    EXPECT_TRUE(fs::exists(dir / "deep.bmp"));
    EXPECT_TRUE(fs::exists(dir / "deep.part.bmp"));
    EXPECT_TRUE(disk.DirStack().empty()); // back at its own level
}

TEST_F(SaveAsListing, FailuresAreReportedAndLeaveTheImageAlone) {
    for (const char* name : {"missing/list.txt", "missing/list.csv", "missing/list.bmp"}) {
        SCOPED_TRACE(name);
        ui.messages.clear();
        EXPECT_FALSE(SaveAs(name));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, "Unable to Save File");
        EXPECT_EQ(ui.messages[0].caption, "Error");
        ExpectImageKept();
    }
}

} // namespace
} // namespace tessarind
