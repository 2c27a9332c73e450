#pragma once
// The core's modal questions answered with Qt dialogs over the frame.

#include "model/Interaction.h"

class QWidget;

namespace tessarind {

class DialogInteraction : public Interaction {
public:
    explicit DialogInteraction(QWidget* parent) : parent_(parent) {}

    void Message(const std::string& text, const std::string& caption) override;
    // Yes/No/Cancel captioned as asked; with withAll the "Confirm Save" form that adds
    // "Yes to All" and "No to All".
    Answer Ask(const std::string& text, const std::string& caption, bool withAll) override;
    std::optional<long> AskNumber(const std::string& prompt, long initial) override;
    std::optional<size_t> Choose(const std::string& prompt,
                                 const std::vector<std::string>& items) override;
    std::optional<SaveChoice> ChooseSaveFile(const SaveRequest& request,
                                             bool& dialogFailed) override;
    std::optional<bool> WriteListing(DiskImage& image, int formatId, const std::string& path,
                                     bool includeSubDirectories, bool selectionOnly) override;
    // A text document of the bytes in a text view of the frame.
    void ShowText(const std::string& title, std::vector<uint8_t> petscii) override;

private:
    QWidget* parent_;
};

} // namespace tessarind
