// The tape view: a tape opens in it, its picture is the tape listing as the core renders it,
// its context menu is "TapeEdit", and the commands edit the tape through its undo records.

#include <QAction>
#include <QMenu>
#include <QtTest>

#include "UiTestSupport.h"
#include "catalog/DirectoryListing.h"
#include "catalog/TapeListing.h"
#include "formats/T64Image.h"
#include "support/TapeBuilder.h"
#include "ui/CommandActions.h"
#include "ui/TapeView.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

struct TapeFixture : FrameFixture {
    TapeView* view = nullptr;
    T64Image* tape = nullptr;

    TapeFixture() {
        auto made = NewTape();
        AppendTapeFile(*made, {"HELLO", 0x0801, Pattern(509)});
        AppendTapeFile(*made, {"AB", 0xC000, Pattern(20, 2), FormatId::Seq});
        AppendTapeFile(*made, {"ZED", 0x1000, Pattern(1000, 3)});
        made->WriteFile(PathText(QStringLiteral("sample.t64")));
        frame->OpenPath(PathText(QStringLiteral("sample.t64")));
        view = dynamic_cast<TapeView*>(frame->activeView());
        tape = view ? dynamic_cast<T64Image*>(view->Image()) : nullptr;
    }
    QStringList Lines() const {
        std::vector<uint8_t> text = ListDirectory(*tape, ListingForm::Ascii, false);
        return QString::fromLatin1(reinterpret_cast<const char*>(text.data()),
                                   static_cast<qsizetype>(text.size()))
            .split(QLatin1Char('\n'));
    }
};

} // namespace

class TapeViewTest : public QObject {
    Q_OBJECT
private slots:
    void aTapeOpensInTheTapeViewWithItsListing() {
        TapeFixture f;
        QVERIFY(f.view);
        QVERIFY(f.tape);
        const QStringList lines = f.Lines();
        QCOMPARE(lines[0], QStringLiteral("\"                        \"  "));
        QCOMPARE(lines[1], QStringLiteral("3    \"HELLO           \" PRG "));
        QCOMPARE(lines[2], QStringLiteral("1    \"AB              \" PRG "));
        QCOMPARE(lines[3], QStringLiteral("4    \"ZED             \" PRG "));
        // A frozen file and a free slot while deleted entries are shown.
        f.tape->SlotPointer(1)[1] = 0;
        f.tape->SlotPointer(2)[0] = 0;
        f.tape->SetShowDeleted(true);
        f.tape->Refresh();
        QVERIFY(f.Lines()[2].endsWith(QStringLiteral("FRZ ")));
        QVERIFY(f.Lines()[3].endsWith(QStringLiteral("DEL ")));

        // The view paints what the core renders.
        const std::optional<QString> differs = PaintedDifference(*f.view, TapeListingRows(*f.tape));
        QVERIFY2(!differs, qPrintable(differs.value_or(QString())));
    }

    void theContextMenuIsTapeEdit() {
        TapeFixture f;
        std::unique_ptr<QMenu> menu(f.view->MakeEntryMenu());
        QCOMPARE(menu->title(), QStringLiteral("TapeEdit"));
        QStringList texts;
        for (QAction* item : menu->actions())
            texts.push_back(item->text());
        QCOMPARE(texts, (QStringList{"&Rename", "Re&move", "&Export", "&Jump to Sector",
                                     "&View File", "&Align", "Run In"}));
    }

    void commandsEditTheTapeAndUndoAndSaveItsBytes() {
        TapeFixture f;
        const std::vector<uint8_t> before = TapeBytesOf(*f.tape);
        f.view->SelectIndex(0);
        f.frame->ExecuteCommand(cmd::Remove);
        QCOMPARE(f.tape->TapeBytes().size(), before.size() - 509);
        QCOMPARE(TapeNames(*f.tape), (std::vector<std::string>{"AB", "ZED"}));
        f.frame->ExecuteCommand(cmd::MoveFileDown);
        QCOMPARE(TapeNames(*f.tape), (std::vector<std::string>{"ZED", "AB"}));
        QCOMPARE(f.view->currentIndex(), 1);
        f.frame->ExecuteCommand(cmd::SortNameAscending);
        QCOMPARE(TapeNames(*f.tape), (std::vector<std::string>{"AB", "ZED"}));
        QVERIFY(f.view->windowTitle().endsWith(QStringLiteral(" *")));
        f.frame->ExecuteCommand(cmd::Save);
        QFile saved(f.Path(QStringLiteral("sample.t64")));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QCOMPARE(std::vector<uint8_t>(bytes.begin(), bytes.end()), TapeBytesOf(*f.tape));
        for (int step = 0; step < 3; ++step)
            f.frame->ExecuteCommand(cmd::Undo);
        QCOMPARE(TapeBytesOf(*f.tape), before);
    }
};

QTEST_MAIN(TapeViewTest)
#include "TapeViewTest.moc"
