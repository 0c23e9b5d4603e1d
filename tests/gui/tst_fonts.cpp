// Tests of the application fonts: the carried family as default, and failed registrations.
#include "gui/fonts.h"
#include "message_capture.h"

#include <QApplication>
#include <QFont>
#include <QTemporaryDir>
#include <QtTest>

class TestFonts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(fonts); }

    void unusable_font_file_data();
    void unusable_font_file();
    void empty_family_changes_nothing();
    void carried_family_becomes_default();
};

void TestFonts::unusable_font_file_data()
{
    QTest::addColumn<bool>("exists");
    QTest::newRow("missing file") << false;
    QTest::newRow("not a font") << true;
}

void TestFonts::unusable_font_file()
{
    QFETCH(bool, exists);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Nothing-Regular.otf"));
    if (exists) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("this is not a font\n");
    }
    MessageCapture capture;
    QCOMPARE(support::load_font(path), QString());
    QCOMPARE(capture.of(QtWarningMsg), QStringList(QStringLiteral("Unable to load font from  \"%1\"").arg(path)));
}

void TestFonts::empty_family_changes_nothing()
{
    const QFont before = QApplication::font();
    support::set_default_font(QString());
    QCOMPARE(QApplication::font(), before);
}

void TestFonts::carried_family_becomes_default()
{
    QVERIFY(support::vantrel_font_name.isEmpty());
    MessageCapture capture;
    support::setup_fonts();
    const QString family = support::vantrel_font_name;
    QVERIFY(!family.isEmpty());
    QCOMPARE(QApplication::font().family(), family);
    QCOMPARE(QApplication::font().pointSize(), 11);
    QCOMPARE(QApplication::font().weight(), int(QFont::Normal));
    QVERIFY(!QApplication::font().italic());
    QCOMPARE(capture.all(), QStringList(QStringLiteral("Load/set default font: \"%1\"").arg(family)));

    // Once loaded, the files are not registered again.
    capture.clear();
    QCOMPARE(support::load_vantrel_fonts(), family);
    QVERIFY(capture.all().isEmpty());
}

QTEST_MAIN(TestFonts)
#include "tst_fonts.moc"
