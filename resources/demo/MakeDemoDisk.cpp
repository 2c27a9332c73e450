// Builds the demo disk from the text sources beside it: a tokenized BASIC program and a
// PETSCII sequential file on a blank 1541 image.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "model/SafeFile.h"
#include "support/ImageBuilder.h"
#include "text/BasicTokenizer.h"
#include "text/Petscii.h"

using namespace tessarind;

static bool ReadText(const char* path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make-demo-disk OUTPUT.d64 PROGRAM.bas NOTES.txt\n");
        return 2;
    }
    std::string basic, notes;
    if (!ReadText(argv[2], basic) || !ReadText(argv[3], notes)) {
        std::fprintf(stderr, "cannot read the demo sources\n");
        return 1;
    }
    std::optional<std::vector<uint8_t>> program = TokenizeBasic(basic);
    if (!program) {
        std::fprintf(stderr, "%s: not a BASIC program\n", argv[2]);
        return 1;
    }
    std::vector<uint8_t> text(notes.begin(), notes.end());
    AsciiToPetsciiName(text, false);

    auto image = testing::BlankD64("TESSARIND DEMO", "TS 2A");
    if (!testing::AddFile(*image, {"HELLO", 0x82, *program}) ||
        !testing::AddFile(*image, {"NOTES", 0x81, text}) || !image->WriteFile(argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
