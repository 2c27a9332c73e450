#include "ui/RecentFileMenu.h"

#include <QAction>
#include <QMenu>

#include "text/Settings.h"

namespace tessarind {

namespace {
constexpr size_t kWholeBelow = 50;
constexpr size_t kLongest = 50;
constexpr size_t kNameRoom = 45;
} // namespace

RecentFileMenu::RecentFileMenu(QMenu& menu, QAction* before, std::function<void(CommandId)> route)
    : menu_(menu), before_(before), route_(std::move(route)) {}

void RecentFileMenu::Refresh(const Settings& settings) {
    if (settings.fileMru[0].empty()) return;
    if (items_.isEmpty() && !separator_) {
        separator_ = new QAction(&menu_);
        separator_->setSeparator(true);
        menu_.insertAction(before_, separator_);
    }
    for (QAction* item : items_) {
        menu_.removeAction(item);
        delete item;
    }
    items_.clear();
    for (int slot = 0; slot < Settings::kFileMruSlots; ++slot) {
        const std::string& path = settings.fileMru[static_cast<size_t>(slot)];
        if (path.empty()) continue;
        auto* item = new QAction(ItemText(slot, path), &menu_);
        item->setData(cmd::Number(cmd::FileMru(slot)));
        CommandId id = cmd::FileMru(slot);
        QObject::connect(item, &QAction::triggered, item, [this, id] { route_(id); });
        menu_.insertAction(before_, item);
        items_.push_back(item);
    }
}

std::string RecentFileMenu::Shorten(const std::string& path) {
    if (path.size() < kWholeBelow) return path;
    // A drive path keeps its drive, "...", and the last folder separator with the file name.
    size_t colon = path.find(':');
    size_t backslash = path.rfind('\\');
    if (colon != std::string::npos && backslash != std::string::npos && colon < backslash) {
        size_t nameLength = path.size() - backslash - 1;
        if (nameLength + colon <= kNameRoom)
            return path.substr(0, colon + 2) + "..." + path.substr(backslash);
    }
    // Otherwise keep as much of the start as fits before the file name.
    size_t separator = path.find_last_of("/\\");
    if (separator != std::string::npos) {
        std::string tail = path.substr(separator);
        if (tail.size() <= kNameRoom)
            return path.substr(0, kLongest - 3 - tail.size()) + "..." + tail;
    }
    return "..." + path.substr(path.size() - (kLongest - 3));
}

QString RecentFileMenu::ItemText(int slot, const std::string& path) {
    // A "&" in the path is text, not a mnemonic.
    QString shown =
        QString::fromStdString(Shorten(path)).replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(slot + 1).arg(shown);
}

} // namespace tessarind
