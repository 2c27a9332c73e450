#pragma once
// Test doubles: an Interaction that answers from a script and keeps every message, and an
// observer that keeps what the image told its view.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "catalog/ListingExport.h"
#include "model/ImageObserver.h"
#include "model/Interaction.h"

namespace tessarind::testing {

class RecordingInteraction : public Interaction {
public:
    struct Shown {
        std::string text, caption;
    };
    std::vector<Shown> messages;
    std::vector<Shown> questions;
    std::deque<Answer> answers;              // next answers to Ask
    std::deque<std::optional<SaveChoice>> saveChoices;
    std::vector<SaveRequest> saveRequests;

    void Message(const std::string& text, const std::string& caption) override {
        messages.push_back({text, caption});
    }
    Answer Ask(const std::string& text, const std::string& caption, bool) override {
        questions.push_back({text, caption});
        if (answers.empty()) return Answer::Cancel;
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<long> numbers;         // next answers to AskNumber (none: cancelled)
    std::vector<std::string> prompts; // what AskNumber asked
    std::optional<long> AskNumber(const std::string& prompt, long) override {
        prompts.push_back(prompt);
        if (numbers.empty()) return std::nullopt;
        const long n = numbers.front();
        numbers.pop_front();
        return n;
    }
    std::optional<SaveChoice> ChooseSaveFile(const SaveRequest& request, bool&) override {
        saveRequests.push_back(request);
        if (saveChoices.empty()) return std::nullopt;
        auto c = saveChoices.front();
        saveChoices.pop_front();
        return c;
    }
    struct Text {
        std::string title;
        std::vector<uint8_t> petscii;
    };
    std::vector<Text> texts; // what ShowText was given
    void ShowText(const std::string& title, std::vector<uint8_t> petscii) override {
        texts.push_back({title, std::move(petscii)});
    }
    std::optional<bool> WriteListing(DiskImage& image, int formatId, const std::string& path,
                                     bool subDirectories, bool selectionOnly) override {
        return WriteSaveAsListing(image, formatId, path, subDirectories, selectionOnly);
    }
};

class RecordingObserver : public ImageObserver {
public:
    std::string windowText;
    std::string undoText;
    bool undoEnabled = false;
    int entryCount = -1;
    int selected = -1;
    int redraws = 0;
    std::vector<std::pair<int, bool>> checks;

    void Redraw() override { ++redraws; }
    void SetWindowText(const std::string& text) override { windowText = text; }
    void SetEntryCount(int n) override { entryCount = n; }
    void SelectLine(int n) override { selected = n; }
    void SetUndoText(const std::string& text, bool enabled) override {
        undoText = text;
        undoEnabled = enabled;
    }
    void CheckCommand(int id, bool on) override { checks.emplace_back(id, on); }
};

} // namespace tessarind::testing
