#pragma once
// The modal questions the core may ask. A null Interaction* means "no messages": batch work,
// search and previews run silently. The desktop app answers with dialogs, tests with a
// scripted recorder.

#include <optional>
#include <string>
#include <vector>

namespace tessarind {

class DiskImage;

enum class Answer { Yes, No, Cancel, YesToAll, NoToAll };

struct SaveFilter {
    std::string displayName;
    std::string extension; // with its dot
};

struct SaveRequest {
    std::string folder;        // folder used last
    std::string proposedName;  // file-name field preset
    std::string defaultExtension; // without its dot
    std::vector<SaveFilter> filters;
    int initialFilter = 0;
    bool includeSubDirectories = false; // "Include Sub Directories"
    bool saveSelection = false;         // "Save Selection"
};

struct SaveChoice {
    std::string path;
    bool includeSubDirectories = false;
    bool saveSelection = false;
};

class Interaction {
public:
    virtual ~Interaction() = default;

    // A modal message box with an OK button.
    virtual void Message(const std::string& text, const std::string& caption) = 0;
    // Yes/No/Cancel; with withAll the "Yes to All" and "No to All" buttons are offered too.
    virtual Answer Ask(const std::string& text, const std::string& caption, bool withAll) = 0;
    // A number prompt; none when cancelled.
    virtual std::optional<long> AskNumber(const std::string& prompt, long initial) = 0;
    // One of `items`, by its index; none when cancelled. Without a list to show, the items
    // are numbered in the prompt and asked for by number.
    virtual std::optional<size_t> Choose(const std::string& prompt,
                                         const std::vector<std::string>& items) {
        std::string numbered = prompt;
        for (size_t i = 0; i < items.size(); ++i)
            numbered += "\n" + std::to_string(i + 1) + "  " + items[i];
        const std::optional<long> answer = AskNumber(numbered, 1);
        if (!answer || *answer < 1 || static_cast<size_t>(*answer) > items.size())
            return std::nullopt;
        return static_cast<size_t>(*answer - 1);
    }
    // A save-file dialog; none when cancelled. dialogFailed is set when the dialog itself failed.
    virtual std::optional<SaveChoice> ChooseSaveFile(const SaveRequest& request, bool& dialogFailed) = 0;
    // Save As with a listing kind (text, CSV or bitmap): the layer that renders listings writes
    // the image's directory to `path`. None when this owner cannot write listings.
    virtual std::optional<bool> WriteListing(DiskImage& /*image*/, int /*formatId*/,
                                             const std::string& /*path*/,
                                             bool /*includeSubDirectories*/, bool /*selectionOnly*/) {
        return std::nullopt;
    }
    // Opens PETSCII text (an archive's notes, say) in a text window titled `title`; an owner
    // without windows lets it pass.
    virtual void ShowText(const std::string& /*title*/, std::vector<uint8_t> /*petscii*/) {}
};

// Shown with caption "Error" when the interaction exists.
inline void ReportError(Interaction* ui, const std::string& text) {
    if (ui) ui->Message(text, "Error");
}

} // namespace tessarind
