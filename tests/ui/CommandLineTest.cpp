// The command line, the names it opens, the recent-file texts, the dialog filters and the
// enable table: the frame's rules that need no window.

#include <QtTest>
#include <set>

#include "ui/CommandEnableTable.h"
#include "ui/CommandLineParser.h"
#include "ui/DialogFilter.h"
#include "ui/RecentFileMenu.h"
#include "ui/ViewCapability.h"

using namespace tessarind;
using Strings = std::vector<std::string>;

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void emptyTextGivesNoTokens() {
        ParsedCommandLine parsed = CommandLineParser::Parse("");
        QVERIFY(parsed.tokens.empty());
        QVERIFY(!parsed.stop);
        QVERIFY(CommandLineParser::Parse("   \t ").tokens.empty());
    }

    void tokensSplitAtBlanksAndQuotesKeepThem() {
        ParsedCommandLine parsed =
            CommandLineParser::Parse("tessarind  a.d64 \"my disk.d64\"   b.d71");
        QCOMPARE(parsed.tokens, (Strings{"tessarind", "a.d64", "my disk.d64", "b.d71"}));
        // A quote left open runs to the end and still counts.
        parsed = CommandLineParser::Parse("tessarind \"open end.d64");
        QCOMPARE(parsed.tokens, (Strings{"tessarind", "open end.d64"}));
    }

    void optionsAreSkippedAndDashAStops() {
        ParsedCommandLine parsed =
            CommandLineParser::Parse("tessarind -x a.d64 --screenshot=s.png b.d64");
        QCOMPARE(parsed.tokens, (Strings{"tessarind", "a.d64", "b.d64"}));
        QVERIFY(!parsed.stop);
        QVERIFY(CommandLineParser::Parse("tessarind a.d64 -a").stop);
        QVERIFY(CommandLineParser::Parse("tessarind -associate").stop);
        QVERIFY(
            !CommandLineParser::Parse("tessarind \"-a\"").stop); // quoted: a name, not an option
    }

    void joinedArgumentsParseBack() {
        Strings arguments{"/opt/tessarind", "plain.d64", "with blank.d64", ""};
        std::string line = CommandLineParser::Join(arguments);
        QCOMPARE(line, std::string("/opt/tessarind plain.d64 \"with blank.d64\" \"\""));
        QCOMPARE(CommandLineParser::Parse(line).tokens, arguments);
    }

    void relativeNamesJoinTheBaseFolder() {
        Strings paths =
            CommandLineParser::PathsToOpen({"a.d64", "/abs/b.d64", "sub/c.d64", "-q"}, "/start");
        QCOMPARE(paths, (Strings{"/start/a.d64", "/abs/b.d64", "/start/sub/c.d64"}));
        QCOMPARE(CommandLineParser::PathsToOpen({"a.d64"}, "/start/"), (Strings{"/start/a.d64"}));
        // A Windows path is taken as it is.
        QCOMPARE(CommandLineParser::PathsToOpen({"C:\\disks\\a.d64"}, "/start"),
                 (Strings{"C:\\disks\\a.d64"}));
    }

    void zipcodeSetOpensOnceThroughItsLowestPart() {
        QCOMPARE(CommandLineParser::PathsToOpen({"1!game", "2!game", "3!GAME"}, "/d"),
                 (Strings{"/d/1!game"}));
        QCOMPARE(CommandLineParser::PathsToOpen({"2!game"}, "/d"), (Strings{"/d/2!game"}));
        QCOMPARE(CommandLineParser::PathsToOpen({"3!game", "2!Game"}, "/d"),
                 (Strings{"/d/2!Game"}));
        // Parts of different sets are each opened.
        QCOMPARE(CommandLineParser::PathsToOpen({"2!one", "2!two"}, "/d"),
                 (Strings{"/d/2!one", "/d/2!two"}));
    }

    void shortPathsStayWhole() {
        std::string path(49, 'x');
        path[0] = '/';
        QCOMPARE(RecentFileMenu::Shorten(path), path);
    }

    void longPathsAreCutKeepingTheFileName() {
        std::string path = "/home/somebody/collections/commodore/disk-images/games/arcade.d64";
        std::string shown = RecentFileMenu::Shorten(path);
        QVERIFY(shown.size() <= 50);
        QVERIFY(shown.find("...") != std::string::npos);
        QVERIFY(shown.ends_with("/arcade.d64"));
        QVERIFY(shown.starts_with("/home/"));

        std::string drive = "C:\\Users\\somebody\\Documents\\Commodore\\Disks\\arcade.d64";
        QCOMPARE(RecentFileMenu::Shorten(drive), std::string("C:\\...\\arcade.d64"));

        std::string longName = "/d/" + std::string(60, 'n') + ".d64";
        shown = RecentFileMenu::Shorten(longName);
        QCOMPARE(shown.size(), size_t{50});
        QVERIFY(shown.starts_with("..."));
        QVERIFY(shown.ends_with("n.d64"));
    }

    void recentItemsAreNumberedFromOne() {
        QCOMPARE(RecentFileMenu::ItemText(0, "/a.d64"), QStringLiteral("&1 /a.d64"));
        QCOMPARE(RecentFileMenu::ItemText(8, "/R&D.d64"), QStringLiteral("&9 /R&&D.d64"));
    }

    void filterGroupsListTheirExtensions() {
        std::vector<FilterItem> items = DialogFilter::Build(DialogFilter::OpenGroups());
        QCOMPARE(items.size(), size_t{14});
        QCOMPARE(
            items[0].display,
            std::string("All Disks (*.d64;*.d71;*.d81;*.g64;*.d2m;*.dhd;*.dnp;*.d80;*.d82;*.dfi)"));
        QCOMPARE(items[9].display, std::string("Tapes (*.t64)"));
        QCOMPARE(items[9].pattern, std::string("*.t64"));
        QCOMPARE(items[7].display, std::string("Zipcode (?!*)"));
        QCOMPARE(items[7].pattern, std::string("?!*"));
        QCOMPARE(items[12].pattern, std::string("*.d80;*.d82"));

        std::vector<FilterGroup> one{{"Text", {15}}};
        std::vector<FilterItem> withKind = DialogFilter::Build(one, 1);
        QCOMPARE(withKind.size(), size_t{2});
        QCOMPARE(withKind[0].display, std::string("1541 (*.d64)"));
        QCOMPARE(withKind[0].pattern, std::string("*.d64"));

        QStringList qt = DialogFilter::NameFilters(items);
        QCOMPARE(qt[12], QStringLiteral("8050, 8250 (*.d80 *.d82)"));
    }

    void enableTableEnablesByCapability() {
        QCOMPARE(CommandEnableTable.size(), size_t{61});
        std::set<int> ids;
        for (const EnableRow& row : CommandEnableTable) {
            ids.insert(cmd::Number(row.id));
            QVERIFY(row.mask & kCapabilityNoView);
        }
        QCOMPARE(ids.size(), size_t{61});

        auto states = [](int capability) {
            std::map<int, bool> on;
            ApplyEnableTable(capability,
                             [&](CommandId id, bool enabled) { on[cmd::Number(id)] = enabled; });
            return on;
        };
        std::map<int, bool> directory = states(kCapabilityDirectory);
        QVERIFY(directory[2013] && directory[2014] && directory[2003] && directory[2161]);
        QVERIFY(!directory[2041] && !directory[2064]);
        std::map<int, bool> bam = states(kCapabilityBam);
        QVERIFY(bam[2022] && bam[2013] && bam[2062]);
        QVERIFY(!bam[2003] && !bam[2014] && !bam[2005] && !bam[2018] && !bam[2098]);
        std::map<int, bool> text = states(kCapabilityTextView);
        QVERIFY(text[2064] && text[2053] && text[2074] && text[2015]);
        QVERIFY(!text[2013] && !text[2018]);
        std::map<int, bool> tape = states(kCapabilityTapeDirectory);
        QVERIFY(tape[2003] && tape[2013] && tape[2053]);
        QVERIFY(!tape[2018] && !tape[2022]);
        for (const auto& [id, on] : states(kCapabilityNoView))
            QVERIFY2(!on, qPrintable(QString::number(id)));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
