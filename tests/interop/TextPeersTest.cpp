// SEQ text that the peers wrote shows as it does from our own files: a SEQ file cc1541 put
// on a disk types exactly as the host file it came from, and the PC64 form cbmconvert gives
// it opens as the same text without its header.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/ImageOpener.h"
#include "formats/TextDocument.h"
#include "interop/PeerImages.h"
#include "interop/PeerTools.h"
#include "text/PetsciiLayout.h"

namespace tessarind {
namespace {

namespace fs = std::filesystem;
using interop::BuildWithCc1541;
using interop::Cbmconvert;
using interop::WriteHostFile;
using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;

// Prose over several blocks: words, carriage returns, colour and reverse codes, a quote.
std::vector<uint8_t> Notes() {
    std::vector<uint8_t> text;
    for (int line = 0; line < 60; ++line) {
        text.insert(text.end(), {0x1C, 'L', 'I', 'N', 'E', ' '});
        for (int word = 0; word <= line % 9; ++word)
            text.insert(text.end(), {'W', 'O', 'R', 'D', static_cast<uint8_t>('0' + word), ' '});
        text.insert(text.end(), {0x12, '"', 0x9E, 'Q', '"', 0x92, 0x0D});
    }
    return text;
}

ProcessResult Type(const std::vector<std::string>& args, const fs::path& folder) {
    std::vector<std::string> argv = {TESSARIND_CLI, "type"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, folder);
}

TEST(TextPeers, SeqTextFromThePeersShowsAsTheHostFile) {
    TempDir temp("tessarind-text-peers");
    const fs::path dir = temp.path();
    const std::vector<uint8_t> notes = Notes();
    ASSERT_GT(notes.size(), 3u * 254u);
    WriteHostFile(dir / "notes.seq", notes);
    ProcessResult built =
        BuildWithCc1541(dir, "notes.d64", {"-n", "TEXTS"}, {{"NOTES", "SEQ", false, false, notes}});
    ASSERT_EQ(built.exitCode, 0) << built.output;
    const fs::path pcFolder = dir / "pc";
    fs::create_directories(pcFolder);
    WriteHostFile(pcFolder / "notes.seq", notes);
    ProcessResult converted = Cbmconvert({"-P", "-n", "notes.seq"}, pcFolder);
    ASSERT_EQ(converted.exitCode, 0);
    ASSERT_FALSE(interop::CbmconvertComplained(converted)) << converted.output;
    fs::path s00;
    for (const auto& item : fs::directory_iterator(pcFolder))
        if (item.path().extension() == ".s00") s00 = item.path();
    ASSERT_FALSE(s00.empty()) << "cbmconvert wrote no .s00 file";
    fs::copy_file(s00, dir / "notes.s00");

    // The PC64 file opens as the text itself.
    auto opened =
        OpenContainer(nullptr, (dir / "notes.s00").string(), {}, 0, nullptr, false, nullptr);
    auto* document = dynamic_cast<TextDocument*>(opened.get());
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(document->Text().begin(), document->Text().end()), notes);

    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, {"--codes"}, {"--width", "80"}}) {
        SCOPED_TRACE(::testing::PrintToString(options));
        std::vector<std::string> host = {"notes.seq"}, pc = {"notes.s00"},
                                 disk = {"notes.d64", "#0"};
        for (auto* args : {&host, &pc, &disk})
            args->insert(args->end(), options.begin(), options.end());
        const ProcessResult fromHost = Type(host, dir);
        ASSERT_EQ(fromHost.exitCode, 0);
        TextLayoutOptions layout;
        layout.switches.interpretCodes = !options.empty() && options[0] == "--codes";
        layout.width = options.size() == 2 ? 80 : 40;
        EXPECT_EQ(fromHost.output, LayoutAsHostText(notes, layout, false));
        EXPECT_EQ(Type(pc, dir).output, fromHost.output);
        EXPECT_EQ(Type(disk, dir).output, fromHost.output);
    }
}

} // namespace
} // namespace tessarind
