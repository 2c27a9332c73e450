// Dragging and dropping files between list views, the frame and the host, and the copy and
// paste of entries, driven by drop events built from MIME data as the window system would
// deliver them.

#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMdiArea>
#include <QMimeData>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <map>

#include "UiTestSupport.h"
#include "catalog/ImageOpener.h"
#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "support/GeosBuilder.h"
#include "support/Process.h"
#include "text/Petscii.h"
#include "ui/DirectoryView.h"
#include "ui/DragPayload.h"
#include "ui/EntryDrop.h"
#include "ui/EntryMimeData.h"
#include "ui/ImageDocument.h"
#include "ui/SeparatorTool.h"

using namespace tessarind;
using namespace tessarind::testing;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
using Name = std::array<uint8_t, kNameLength>;

// One file put into a sample image through the model.
struct SampleFile {
    const char* name;
    int kind; // format-registry id
    Bytes data;
    int recordLength = 0;
};

bool Put(DiskImage& image, const SampleFile& file) {
    return image.WriteFileData(PetsciiName(file.name), image.entryCount(), false, file.data,
                               file.recordLength, *FindRowById(file.kind));
}

Name NameAt(DiskImage& image, int index) {
    Name name{};
    if (DirEntry entry = image.EntryAt(index))
        std::copy_n(entry.name().begin(), kNameLength, name.begin());
    return name;
}

std::vector<Name> Names(DiskImage& image) {
    std::vector<Name> names;
    for (int index = 0; index < image.entryCount(); ++index)
        names.push_back(NameAt(image, index));
    return names;
}

Bytes ReadHostFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteHostFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A GEOS file in its Convert form with the disk addresses of its entry (first block, info
// block) cleared: they name blocks of the disk it was read from.
Bytes ConvertWithoutAddresses(DiskImage& image, int index) {
    Bytes form = image.ReadFileData(index).value_or(Bytes{});
    for (size_t at : {1, 2, 19, 20})
        if (at < form.size()) form[at] = 0;
    return form;
}

std::map<std::string, Bytes> FilesIn(const fs::path& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& item : fs::directory_iterator(folder))
        files[item.path().filename().string()] = ReadHostFile(item.path());
    return files;
}

// A drag entering at a point, moving there and dropping, as the window system delivers it:
// the drop goes to the widget that took the entering drag. The action the target took,
// IgnoreAction when it refused.
Qt::DropAction SendDrop(QWidget* target, QPoint at, const QMimeData& mime,
                        Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return Qt::IgnoreAction;
    QDragMoveEvent move(at, offered, &mime, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), offered, &mime, Qt::NoButton, modifiers);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

QMimeData* HostFiles(const QStringList& paths) {
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    mime->setUrls(urls);
    return mime;
}

struct DropFixture : FrameFixture {
    // Opens an image written into the test's folder; its directory view.
    DirectoryView* Open(const QString& name, const std::vector<SampleFile>& files,
                        std::unique_ptr<DiskImage> image = nullptr) {
        if (!image) image = BlankD64("DROPS");
        for (const SampleFile& file : files)
            if (!Put(*image, file)) return nullptr;
        image->SetPath(PathText(name));
        if (!image->WriteFile(PathText(name))) return nullptr;
        ImageDocument* document = frame->OpenPath(PathText(name));
        return document ? dynamic_cast<DirectoryView*>(document->directoryView()) : nullptr;
    }
    // The middle of an entry's row while the header is the top row.
    static QPoint RowPoint(const DirectoryView& view, int index) {
        const int cell = view.cellSize();
        return {cell * 8, (index + 1) * cell + cell / 2};
    }
};

std::vector<SampleFile> Programs(int count) {
    std::vector<SampleFile> files;
    static const char* names[] = {"zero", "one", "two",   "three", "four",
                                  "five", "six", "seven", "eight", "nine"};
    for (int n = 0; n < count; ++n)
        files.push_back({names[n], FormatId::Prg, Pattern(100 + 50 * n, n + 1)});
    return files;
}

// A file of each kind a drag carries, a second one of the same name and a DEL entry.
std::vector<SampleFile> MixedFiles() {
    return {{"first", FormatId::Prg, Pattern(700, 3)},
            {"notes", FormatId::Seq, Pattern(300, 4)},
            {"user", FormatId::Usr, Pattern(254, 5)},
            {"records", FormatId::Rel, Pattern(40 * 90, 6), 40},
            {"first", FormatId::Prg, Pattern(20, 7)},
            {"gone", FormatId::Del, {}}};
}

} // namespace

class DragDropTest : public QObject {
    Q_OBJECT

private slots:
    void hostFilesDroppedOnARowLandThereAndUndoAsOneStep() {
        DropFixture f;
        DirectoryView* view = f.Open(QStringLiteral("target.d64"), Programs(5));
        QVERIFY(view);
        DiskImage& image = *view->Image();
        const std::vector<Name> before = Names(image);

        // Each host file: its name, bytes, the entry it becomes and the data stored.
        Bytes pc64 = {'C', '6', '4', 'F', 'i', 'l', 'e', 0};
        const Name pcName = PetsciiName("pc name");
        pc64.insert(pc64.end(), pcName.begin(), pcName.end());
        pc64.insert(pc64.end(), {0, 0});
        const Bytes pcData = Pattern(400, 9);
        pc64.insert(pc64.end(), pcData.begin(), pcData.end());
        const std::string text = "hello\r\nworld\n";
        // Host letters become unshifted PETSCII letters; line ends become carriage returns.
        const Bytes petsciiText = {0x48, 0x45, 0x4C, 0x4C, 0x4F, 0x0D,
                                   0x57, 0x4F, 0x52, 0x4C, 0x44, 0x0D};
        struct Row {
            const char* file;
            Bytes bytes;
            Name name;
            uint8_t type;
            Bytes stored;
        } rows[] = {
            {"alpha.prg", Pattern(600, 8), PetsciiName("alpha"), 0x82, Pattern(600, 8)},
            {"beta.p00", pc64, pcName, 0x82, pcData},
            {"gamma.txt", Bytes(text.begin(), text.end()), PetsciiName("gamma"), 0x81, petsciiText},
        };
        QStringList paths;
        for (const Row& row : rows) {
            WriteHostFile(f.PathText(QString::fromLatin1(row.file)), row.bytes);
            paths << f.Path(QString::fromLatin1(row.file));
        }
        std::unique_ptr<QMimeData> mime(HostFiles(paths));
        QCOMPARE(SendDrop(view->viewport(), DropFixture::RowPoint(*view, 3), *mime),
                 Qt::CopyAction);

        QCOMPARE(image.entryCount(), 8);
        for (int n = 0; n < 3; ++n) {
            const Row& row = rows[n];
            QVERIFY2(NameAt(image, 3 + n) == row.name, row.file);
            QCOMPARE(image.EntryAt(3 + n).type(), row.type);
            QCOMPARE(image.ReadFileData(3 + n).value_or(Bytes{}), row.stored);
        }
        QVERIFY(NameAt(image, 6) == before[3]); // the entries at the row moved down
        QCOMPARE(view->currentIndex(), 5);
        QVERIFY(f.ui.messages.empty());

        image.UndoCommand();
        QVERIFY(Names(image) == before);

        // A disk without room says so, keeps what fitted and stays one step.
        std::vector<uint8_t> huge(254 * 700, 1);
        WriteHostFile(f.PathText(QStringLiteral("huge.prg")), huge);
        std::unique_ptr<QMimeData> tooBig(
            HostFiles({f.Path(QStringLiteral("alpha.prg")), f.Path(QStringLiteral("huge.prg"))}));
        SendDrop(view->viewport(), DropFixture::RowPoint(*view, 0), *tooBig);
        QVERIFY(f.HasMessage("Not Enough Room on Disk"));
        QVERIFY(NameAt(image, 0) == PetsciiName("alpha"));
        QCOMPARE(image.entryCount(), 6);
        image.UndoCommand();
        QVERIFY(Names(image) == before);

        // A tape view takes a dropped program the same way.
        ImageDocument* tape = f.frame->NewImage(FormatId::T64);
        QVERIFY(tape);
        auto* tapeView = dynamic_cast<EntryListView*>(tape->directoryView());
        QVERIFY(tapeView);
        std::unique_ptr<QMimeData> program(HostFiles({f.Path(QStringLiteral("alpha.prg"))}));
        auto filesOnTape = [&] {
            std::vector<Bytes> files;
            for (int index = 0; index < tape->image().entryCount(); ++index)
                if (std::optional<Bytes> data = tape->image().ReadFileData(index))
                    files.push_back(*data);
            return files;
        };
        QVERIFY(filesOnTape().empty());
        QCOMPARE(SendDrop(tapeView->viewport(), QPoint(10, 30), *program), Qt::CopyAction);
        QVERIFY(filesOnTape() == std::vector<Bytes>{rows[0].stored});
    }

    void entriesDraggedFromA1581ViewAreCopiedWholeAndCbmconvertReadsThem() {
        DropFixture f;
        auto d81 = MakeDiskImage(FormatId::D81, &f.settings);
        QVERIFY(d81 && d81->Open(nullptr, "", false, true));
        // A GEOS file with records, then one file of each kind with data.
        QVERIFY(AddGeosFile(*d81, {"GEOS APP", 0x83, 6, true, {}, {Pattern(300, 11), std::nullopt, Pattern(600, 12)}}));
        std::vector<SampleFile> files = MixedFiles();
        files.erase(files.begin() + 4, files.end());
        DirectoryView* source = f.Open(QStringLiteral("source.d81"), files, std::move(d81));
        DirectoryView* target = f.Open(QStringLiteral("target.d64"), Programs(1));
        QVERIFY(source && target);

        source->SelectIndex(0);
        source->SelectRange(4);
        EntryMimeData mime(MakeEntryPayload(*source->Image(), 0, 4, source, 0),
                           f.frame->DragFiles());
        QCOMPARE(SendDrop(target->viewport(), DropFixture::RowPoint(*target, 0), mime),
                 Qt::CopyAction);
        DiskImage& image = *target->Image();
        QCOMPARE(image.entryCount(), 6);
        // The GEOS file arrives as GEOS: its info block and records read back the same.
        QVERIFY(image.EntryAt(0).isGeos());
        QVERIFY(NameAt(image, 0) == NameAt(*source->Image(), 0));
        QVERIFY(ConvertWithoutAddresses(image, 0) ==
                ConvertWithoutAddresses(*source->Image(), 0));
        for (size_t n = 0; n < files.size(); ++n) {
            const int index = 1 + static_cast<int>(n);
            QVERIFY(NameAt(image, index) == PetsciiName(files[n].name));
            QCOMPARE(image.EntryAt(index).typeCode(), FindRowById(files[n].kind)->cbmType);
            QCOMPARE(image.EntryAt(index).recordLength(), files[n].recordLength);
            QCOMPARE(image.ReadFileData(index).value_or(Bytes{}), files[n].data);
        }
        // The source is left as it was: a drag between views copies.
        QCOMPARE(source->Image()->entryCount(), 5);

        const fs::path saved = f.PathText(QStringLiteral("copied.d64"));
        QVERIFY(image.WriteFile(saved.string()));
        const fs::path out = f.PathText(QStringLiteral("peer"));
        fs::create_directories(out);
        ProcessResult run = RunProcess({"cbmconvert", "-N", "-d", saved.string()}, out);
        QCOMPARE(run.exitCode, 0);
        const std::map<std::string, Bytes> peer = FilesIn(out);
        // cbmconvert's native names: lower-case name, ".l" and the record length for REL.
        const std::map<std::string, Bytes> expected = {{"first.prg", files[0].data},
                                                       {"notes.seq", files[1].data},
                                                       {"user.usr", files[2].data},
                                                       {"records.l28", files[3].data}};
        for (const auto& [name, data] : expected) {
            QVERIFY2(peer.count(name), name.c_str());
            QVERIFY2(peer.at(name) == data, name.c_str());
        }
    }

    void reorderingByDragEqualsMoveEntries() {
        struct Row {
            int first, last, grabbed, dropRow, selected;
            bool moves;
        } rows[] = {
            {2, 4, 2, 8, 5, true},   // down: the run lands before the drop row
            {2, 4, 4, 8, 5, true},   // grabbed at its end, the whole run still moves
            {6, 7, 6, 1, 1, true},   // up
            {3, 3, 3, 3, -1, false}, // onto its own row: nothing
            {2, 5, 3, 4, -1, false}, // inside the run: nothing
            {0, 0, 0, 10, 9, true},  // below the last entry: to the end
        };
        for (const Row& row : rows) {
            DropFixture f;
            DirectoryView* view = f.Open(QStringLiteral("order.d64"), Programs(10));
            auto expected = BlankD64("DROPS");
            for (const SampleFile& file : Programs(10))
                QVERIFY(Put(*expected, file));
            QVERIFY(view);
            DiskImage& image = *view->Image();
            const size_t steps = image.Journal().size();

            view->SelectIndex(row.grabbed == row.first ? row.first : row.last);
            view->SelectRange(row.grabbed == row.first ? row.last : row.first);
            EntryMimeData mime(
                MakeEntryPayload(image, row.first, row.last, view, view->currentIndex()),
                f.frame->DragFiles());
            const QPoint at = row.dropRow < 10 ? DropFixture::RowPoint(*view, row.dropRow)
                                               : DropFixture::RowPoint(*view, 11);
            QCOMPARE(SendDrop(view->viewport(), at, mime), Qt::MoveAction);

            if (row.moves) QVERIFY(expected->MoveEntries(row.first, row.last, row.dropRow));
            QVERIFY(Names(image) == Names(*expected));
            QCOMPARE(image.Journal().size() > steps, row.moves);
            if (row.moves) {
                QCOMPARE(view->currentIndex(), row.selected);
                QCOMPARE(view->selectionLast() - view->selectionFirst(), row.last - row.first);
                image.UndoCommand(); // one step
                auto original = BlankD64("DROPS");
                for (const SampleFile& file : Programs(10))
                    QVERIFY(Put(*original, file));
                QVERIFY(Names(image) == Names(*original));
            }
        }
    }

    void ctrlDropOnTheSourceViewCopiesAndAPartitionEntryTakesTheDrop() {
        DropFixture f;
        DirectoryView* view = f.Open(QStringLiteral("copy.d64"), Programs(3));
        QVERIFY(view);
        DiskImage& image = *view->Image();
        EntryMimeData mime(MakeEntryPayload(image, 0, 0, view, 0), f.frame->DragFiles());
        QCOMPARE(
            SendDrop(view->viewport(), DropFixture::RowPoint(*view, 2), mime, Qt::ControlModifier),
            Qt::CopyAction);
        QCOMPARE(image.entryCount(), 4);
        QVERIFY(NameAt(image, 2) == NameAt(image, 0));
        QVERIFY(image.ReadFileData(2) == image.ReadFileData(0));

        // On a 1581 with a partition, a drop on the partition's row writes into it.
        auto d81 = MakeDiskImage(FormatId::D81, &f.settings);
        QVERIFY(d81 && d81->Open(nullptr, "", false, true) && AddPartitionSample(*d81));
        DirectoryView* disk = f.Open(QStringLiteral("parts.d81"), {}, std::move(d81));
        QVERIFY(disk);
        DiskImage& parts = *disk->Image();
        const int partition = 1; // TOP, then PART
        QCOMPARE(parts.EntryAt(partition).typeCode(), int(kCbm));
        const int outside = parts.entryCount();
        SendDrop(disk->viewport(), DropFixture::RowPoint(*disk, partition), mime);
        QCOMPARE(parts.entryCount(), outside);
        QVERIFY(parts.EnterSubDirectory(partition));
        QCOMPARE(parts.entryCount(), 2);
        QVERIFY(NameAt(parts, 1) == NameAt(image, 0));
        QVERIFY(parts.ReadFileData(1) == image.ReadFileData(0));
    }

    void containersDroppedOnTheFrameOpen() {
        struct Row {
            QStringList files;
            size_t opened;
        } rows[] = {
            {{QStringLiteral("one.d64")}, 1},
            {{QStringLiteral("one.d64"), QStringLiteral("two.d64")}, 2},
        };
        for (const Row& row : rows) {
            DropFixture f;
            QStringList paths;
            for (const QString& file : row.files) {
                f.Image(file, "DROPPED");
                paths << f.Path(file);
            }
            std::unique_ptr<QMimeData> mime(HostFiles(paths));
            QCOMPARE(SendDrop(f.frame->client()->viewport(), QPoint(5, 5), *mime), Qt::CopyAction);
            QCOMPARE(f.frame->openImages().size(), row.opened);
            QCOMPARE(QString::fromStdString(f.frame->openImages().front()->image().path()),
                     paths.back());
        }
        // Of a Zipcode set only the lowest part dropped is opened, once for the whole set.
        for (const QStringList& parts : {QStringList{QStringLiteral("1!game")},
                                         QStringList{QStringLiteral("2!game"), QStringLiteral("1!game")}}) {
            DropFixture f;
            QStringList paths;
            for (const QString& part : parts) {
                WriteHostFile(f.PathText(part), Pattern(40));
                paths << f.Path(part);
            }
            std::unique_ptr<QMimeData> mime(HostFiles(paths));
            SendDrop(f.frame->client()->viewport(), QPoint(5, 5), *mime);
            QCOMPARE(f.frame->openImages().size(), size_t{1});
        }

        // A container dropped on a view that cannot take it opens beside it.
        DropFixture f;
        DirectoryView* view = f.Open(QStringLiteral("view.d64"), Programs(1));
        f.Image(QStringLiteral("other.d64"));
        std::unique_ptr<QMimeData> mime(HostFiles({f.Path(QStringLiteral("other.d64"))}));
        QCOMPARE(SendDrop(view->viewport(), DropFixture::RowPoint(*view, 0), *mime),
                 Qt::CopyAction);
        QCOMPARE(f.frame->openImages().size(), size_t{2});
        QCOMPARE(view->Image()->entryCount(), 1);
    }

    void hostFilesAreWrittenOnDemandAsExtractWritesThem() {
        DropFixture f;
        DirectoryView* view = f.Open(QStringLiteral("mixed.d64"), MixedFiles());
        QVERIFY(view);
        DiskImage& image = *view->Image();
        const QString folder = f.frame->DragFiles().lock()->path();
        EntryMimeData mime(MakeEntryPayload(image, 0, image.entryCount() - 1, view),
                           f.frame->DragFiles());
        QVERIFY(mime.hasUrls());
        QVERIFY(!mime.hasFormat(QString::fromLatin1(EntryMimeData::kOctetStream)));
        QVERIFY2(QDir(folder).isEmpty(), "nothing is written before a target asks");

        const QList<QUrl> urls = mime.urls();
        QCOMPARE(urls.size(), 5); // the DEL entry has no host file
        const fs::path dragged = fs::path(urls.front().toLocalFile().toStdString()).parent_path();
        QCOMPARE(mime.urls(), urls); // asked again, the same files
        const fs::path extracted = f.PathText(QStringLiteral("extracted"));
        ProcessResult run =
            RunProcess({TESSARIND_CLI, "extract", f.PathText(QStringLiteral("mixed.d64")), "-o",
                        extracted.string()});
        QCOMPARE(run.exitCode, 0);
        const auto expected = FilesIn(extracted);
        QCOMPARE(expected.size(), size_t{5});
        QVERIFY(FilesIn(dragged) == expected);
        QVERIFY(mime.data(QStringLiteral("text/uri-list")).startsWith("file://"));

        // One file alone is offered as its bytes too.
        EntryMimeData single(MakeEntryPayload(image, 1, 1), f.frame->DragFiles());
        const Bytes notes = MixedFiles()[1].data;
        QCOMPARE(single.data(QString::fromLatin1(EntryMimeData::kOctetStream)),
                 QByteArray(reinterpret_cast<const char*>(notes.data()), qsizetype(notes.size())));

        f.frame->close();
        QVERIFY2(!QDir(folder).exists(), "the dragged files go when the frame closes");
        QVERIFY(!fs::exists(dragged));
        QVERIFY(!mime.hasUrls()); // a copy left on the clipboard offers no files any more
    }

    // A separator dragged out of the tool is a file without data that lands as a DEL entry
    // holding the separator, and gives the host nothing.
    void aSeparatorDraggedFromTheToolLandsAsADelEntry() {
        DropFixture f;
        DirectoryView* view = f.Open(QStringLiteral("sep.d64"), {{"one", FormatId::Prg, Bytes(10, 1)}});
        QVERIFY(view);
        SeparatorTool* tool = f.frame->separatorTool();
        QVERIFY(tool->DragOf(-1).records.empty());
        const auto& body = tool->separators().at(2);
        EntryMimeData mime(tool->DragOf(2), f.frame->DragFiles());
        QVERIFY(mime.ExportedFiles().isEmpty());
        QCOMPARE(SendDrop(view->viewport(), DropFixture::RowPoint(*view, 0), mime), Qt::CopyAction);
        DiskImage& image = *view->Image();
        QCOMPARE(image.entryCount(), 2);
        DirEntry entry = image.EntryAt(0);
        QCOMPARE(entry.typeCode(), kDel);
        QVERIFY(std::equal(entry.name().begin(), entry.name().end(),
                           body.begin() + SeparatorTool::kNameOffset));
    }

    void copyAndPasteCarryWhatADragCarries() {
        DropFixture f;
        DirectoryView* source = f.Open(QStringLiteral("from.d64"), MixedFiles());
        DirectoryView* target = f.Open(QStringLiteral("to.d64"), Programs(2));
        QVERIFY(source && target);
        source->SelectIndex(1);
        source->SelectRange(3);
        QTest::keyClick(source->viewport(), Qt::Key_C, Qt::ControlModifier);
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        QVERIFY(copied && copied->hasFormat(QString::fromLatin1(kEntryMimeType)));
        QCOMPARE(copied->urls().size(), 3);

        target->SelectIndex(1);
        QTest::keyClick(target->viewport(), Qt::Key_V, Qt::ControlModifier);
        DiskImage& image = *target->Image();
        QCOMPARE(image.entryCount(), 5);
        for (int n = 0; n < 3; ++n) {
            QVERIFY(NameAt(image, 1 + n) == NameAt(*source->Image(), 1 + n));
            QVERIFY(image.ReadFileData(1 + n) == source->Image()->ReadFileData(1 + n));
        }
        // Pasted back into its own view it is a copy, not a move.
        QTest::keyClick(source->viewport(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(source->Image()->entryCount(), 9);

        // Host files on the clipboard are imported.
        WriteHostFile(f.PathText(QStringLiteral("host.prg")), Pattern(77));
        QGuiApplication::clipboard()->setMimeData(HostFiles({f.Path(QStringLiteral("host.prg"))}));
        target->SelectIndex(0);
        QTest::keyClick(target->viewport(), Qt::Key_V, Qt::ControlModifier);
        QVERIFY(NameAt(image, 0) == PetsciiName("host"));
        QCOMPARE(image.ReadFileData(0).value_or(Bytes{}), Pattern(77));
        QGuiApplication::clipboard()->clear();
    }

    void payloadSurvivesItsEncodingAndRefusesDamage() {
        DropFixture f;
        DirectoryView* view = f.Open(QStringLiteral("mixed.d64"), MixedFiles());
        QVERIFY(view);
        const DragPayload payload = MakeEntryPayload(*view->Image(), 0, 5, view, 2);
        const QByteArray bytes = EncodePayload(payload);
        std::optional<DragPayload> decoded = DecodePayload(bytes);
        QVERIFY(decoded);
        QCOMPARE(decoded->records.size(), size_t{6});
        QCOMPARE(decoded->start, 2);
        QVERIFY(ComesFrom({decoded, {}}, view));
        for (size_t n = 0; n < payload.records.size(); ++n) {
            QCOMPARE(decoded->records[n].hostName, payload.records[n].hostName);
            QVERIFY(decoded->records[n].data == payload.records[n].data);
            QVERIFY(decoded->records[n].entry == payload.records[n].entry);
            QCOMPARE(decoded->records[n].kind, payload.records[n].kind);
            QCOMPARE(decoded->records[n].readable, payload.records[n].readable);
        }
        // Every shorter piece is refused, and so is a length beyond the bytes.
        for (qsizetype size = 0; size < bytes.size(); size += 7)
            QVERIFY(!DecodePayload(bytes.left(size)));
        QVERIFY(!DecodePayload(bytes.left(bytes.size() - 1)));
        QByteArray grown = bytes;
        grown[40] = char(0x7F); // the high byte of the first record's name length
        QVERIFY(!DecodePayload(grown));
    }
};

QTEST_MAIN(DragDropTest)
#include "DragDropTest.moc"
