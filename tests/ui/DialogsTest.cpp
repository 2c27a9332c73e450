// The Options dialog and the Filename Character Replacement dialog, driven through their
// controls as a user would.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "text/Settings.h"
#include "ui/OptionsDialog.h"
#include "ui/ReplacementDialog.h"
#include "ui/SettingsStore.h"

using namespace tessarind;

namespace {

template <class T> T* Control(QWidget& dialog, int id) {
    T* control = dialog.findChild<T*>(QString::number(id));
    if (!control) qFatal("no control %d", id);
    return control;
}

QStringList Rows(QWidget& dialog) {
    QStringList rows;
    auto* list = Control<QTreeWidget>(dialog, 2191);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows.push_back(
            QStringLiteral("%1=%2")
                .arg(list->topLevelItem(i)->data(0, Qt::UserRole).toInt(), 2, 16, QLatin1Char('0'))
                .arg(list->topLevelItem(i)->text(1)));
    return rows;
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    // ---- Options ----------------------------------------------------------------------------

    void optionsShowTheCurrentValues() {
        Settings settings;
        settings.Set(SettingId::FillByte, 170);
        settings.Set(SettingId::ShowDEL, 1);
        settings.Set(SettingId::ConfirmSave, 0);
        OptionsDialog dialog(settings);
        QCOMPARE(dialog.field(1001)->text(), QStringLiteral("170"));
        QCOMPARE(dialog.field(1031)->text(), QStringLiteral("10"));
        QVERIFY(dialog.checkBox(2051)->isChecked());
        QVERIFY(!dialog.checkBox(2162)->isChecked());
        QVERIFY(dialog.checkBox(2075)->isChecked());
        QCOMPARE(dialog.checkBox(2068)->text(), QStringLiteral("Default to CG graphics"));
        QCOMPARE(Control<QPushButton>(dialog, 2186)->text(),
                 QStringLiteral("Character Replacments"));
        QCOMPARE(Control<QPushButton>(dialog, 2119)->text(), QStringLiteral("Run in Emulator"));
    }

    void interleaveFieldFollowsItsCheckBoxAndKeepsEightBits() {
        QTemporaryDir dir;
        Settings settings;
        OptionsDialog dialog(settings);
        QVERIFY(!dialog.field(1031)->isEnabled());
        dialog.checkBox(1030)->setChecked(true);
        QVERIFY(dialog.field(1031)->isEnabled());
        dialog.field(1031)->setText(QStringLiteral("300"));
        dialog.field(1001)->setText(QStringLiteral("65"));
        dialog.accept();
        QCOMPARE(settings.Get(SettingId::CustomInterleave), 44u);
        QCOMPARE(settings.Get(SettingId::FillByte), 65u);
        QVERIFY(settings.On(SettingId::UseCustomInterleave));
        QVERIFY(dialog.changes().redraw);
        QVERIFY(!dialog.changes().recount);
        // And so it is stored.
        QString path = dir.filePath(QStringLiteral("s.ini"));
        SettingsStore(path).Save(settings);
        QCOMPARE(QSettings(path, QSettings::IniFormat)
                     .value(QStringLiteral("Custom Interleave"))
                     .toInt(),
                 44);
    }

    void optionsReportWhatNeedsRedrawing() {
        Settings settings;
        {
            OptionsDialog dialog(settings);
            dialog.checkBox(2067)->setChecked(false); // "Default to Uppercase"
            dialog.checkBox(2162)->setChecked(false); // "Confirm Save"
            dialog.accept();
            QVERIFY(!dialog.changes().redraw);
            QVERIFY(!settings.On(SettingId::DefaultUpper));
            QVERIFY(!settings.On(SettingId::ConfirmSave));
        }
        {
            OptionsDialog dialog(settings);
            dialog.checkBox(2051)->setChecked(true); // "Show DEL Files"
            dialog.accept();
            QVERIFY(dialog.changes().redraw);
            QVERIFY(dialog.changes().recount);
            QVERIFY(!dialog.changes().colours);
        }
        {
            OptionsDialog dialog(settings);
            dialog.checkBox(1000)->setChecked(false); // "Use CBM Colors"
            dialog.accept();
            QVERIFY(dialog.changes().colours);
            QVERIFY(dialog.changes().redraw);
        }
    }

    void cancelChangesNothing() {
        Settings settings;
        OptionsDialog dialog(settings);
        dialog.checkBox(2074)->setChecked(false);
        dialog.field(1001)->setText(QStringLiteral("9"));
        dialog.reject();
        QVERIFY(settings.On(SettingId::LargeFonts));
        QCOMPARE(settings.Get(SettingId::FillByte), 0u);
    }

    // ---- Filename Character Replacement -----------------------------------------------------

    void replacementsListInCodeOrderAndAddOrReplace() {
        Settings settings;
        settings.substitutions = {{0x2F, " - "}, {0x5C, "pound"}};
        ReplacementDialog dialog(settings);
        QCOMPARE(Rows(dialog), (QStringList{"2f= - ", "5c=pound"}));
        auto* code = Control<QLineEdit>(dialog, 2187);
        auto* text = Control<QLineEdit>(dialog, 2188);
        auto* store = Control<QPushButton>(dialog, 2189);
        QCOMPARE(store->text(), QStringLiteral("Add"));
        QTest::keyClicks(code, QStringLiteral("*"));
        QCOMPARE(dialog.fieldCode(), std::optional<uint8_t>(0x2A));
        QCOMPARE(store->text(), QStringLiteral("Add"));
        QTest::keyClicks(text, QStringLiteral("star"));
        QTest::mouseClick(store, Qt::LeftButton);
        QCOMPARE(Rows(dialog), (QStringList{"2a=star", "2f= - ", "5c=pound"}));
        QVERIFY(code->text().isEmpty() && text->text().isEmpty());
        // A listed code turns the button into "Replace".
        QTest::keyClicks(code, QStringLiteral("/"));
        QCOMPARE(store->text(), QStringLiteral("Replace"));
        QTest::keyClicks(text, QStringLiteral("_"));
        QTest::mouseClick(store, Qt::LeftButton);
        QCOMPARE(Rows(dialog), (QStringList{"2a=star", "2f=_", "5c=pound"}));
        // Cancel leaves the list as it was.
        dialog.reject();
        QCOMPARE(settings.substitutions.size(), size_t{2});
        QCOMPARE(settings.substitutions[0].text, std::string(" - "));
    }

    void deleteNeedsASelectedRowAndOkStores() {
        Settings settings;
        settings.substitutions = {{0x2F, " - "}, {0x5C, "pound"}};
        ReplacementDialog dialog(settings);
        auto* remove = Control<QPushButton>(dialog, 2190);
        auto* list = Control<QTreeWidget>(dialog, 2191);
        QVERIFY(!remove->isEnabled());
        list->setCurrentItem(list->topLevelItem(0));
        QVERIFY(remove->isEnabled());
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(Rows(dialog), QStringList{"5c=pound"});
        dialog.accept();
        QCOMPARE(settings.substitutions.size(), size_t{1});
        QCOMPARE(settings.substitutions[0].code, uint8_t{0x5C});
    }

    void replaceBoxActsAtOnceAndDisablesTheRest() {
        Settings settings;
        ReplacementDialog dialog(settings);
        auto* box = Control<QCheckBox>(dialog, 2192);
        QCOMPARE(box->text(), QStringLiteral("Replace PETSCII characters in exported filenames"));
        QVERIFY(box->isChecked());
        box->setChecked(false);
        QVERIFY(!settings.On(SettingId::ReplaceFilenameChars));
        for (int id : {2187, 2188})
            QVERIFY(!Control<QLineEdit>(dialog, id)->isEnabled());
        QVERIFY(!Control<QTreeWidget>(dialog, 2191)->isEnabled());
        QVERIFY(!Control<QPushButton>(dialog, 2189)->isEnabled());
        // Cancel does not bring the setting back.
        dialog.reject();
        QVERIFY(!settings.On(SettingId::ReplaceFilenameChars));
    }

    void clickingARowLoadsItIntoTheFields() {
        Settings settings;
        settings.substitutions = {{0x2F, " - "}};
        ReplacementDialog dialog(settings);
        dialog.show();
        auto* list = Control<QTreeWidget>(dialog, 2191);
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QRect row = list->visualItemRect(list->topLevelItem(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(dialog.fieldCode(), std::optional<uint8_t>(0x2F));
        QCOMPARE(Control<QLineEdit>(dialog, 2187)->text(), QStringLiteral("/"));
        QCOMPARE(Control<QLineEdit>(dialog, 2188)->text(), QStringLiteral(" - "));
        QCOMPARE(Control<QPushButton>(dialog, 2189)->text(), QStringLiteral("Replace"));
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
