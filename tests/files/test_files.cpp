// The working directory, its file names, extraction of the carried files and the small
// file utilities.
#include "files/files.h"
#include "files/support_misc.h"
#include "log_capture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using Files::ID;

Q_DECLARE_METATYPE(Files::ID)
Q_DECLARE_METATYPE(std::vector<Files::ID>)
Q_DECLARE_METATYPE(support_misc::Platform)

namespace {

QByteArray resource_bytes(QString const& name)
{
    QFile file(QStringLiteral(":resources/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray file_bytes(QString const& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write_file(QString const& path, QByteArray const& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

int mode_of(QString const& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

using Entry = LogCapture::Entry;

QString extracted(QString const& name)
{
    return QStringLiteral("Extracted  \"%1\"").arg(name);
}

QString failed(QString const& name)
{
    return QStringLiteral("Failed to extract  \"%1\"").arg(name);
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT

    QTemporaryDir scratch_;

    static QStringList working_files()
    {
        return QDir(Files::external_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

private slots:
    void initTestCase() { QVERIFY(scratch_.isValid()); }

    // Every case starts from an empty working directory.
    void init()
    {
        QVERIFY(Files::external_dir.isValid());
        for (auto const& name : working_files())
            QVERIFY(QFile::remove(Files::path_of(name)));
    }

    void working_directory()
    {
        const QString path = Files::external_dir.path();
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(QDir::tempPath() + "/upgrade_") + QStringLiteral("[A-Za-z0-9]{6}")));
        QVERIFY2(pattern.match(path).hasMatch(), qPrintable(path));
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(mode_of(path), 0700);
        QCOMPARE(Files::path_of(QStringLiteral("x.bin")), path + QStringLiteral("/x.bin"));
    }

    void file_names_data()
    {
        QTest::addColumn<ID>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("constant");
        QTest::newRow("dfu_util") << Files::dfu_util << "dfu-util" << Files::dfu_util_executable_fileName;
        QTest::newRow("libusb") << Files::libusb << "libusb-1.0.so.0" << QString("libusb-1.0.so.0");
        QTest::newRow("desired_FW_dfu") << Files::desired_FW_dfu << "firmware.dfu" << Files::desired_FW_fileName_dfu;
        QTest::newRow("desired_FW_bin") << Files::desired_FW_bin << "firmware.bin" << Files::desired_FW_fileName_bin;
        QTest::newRow("uploaded_FW_bin") << Files::uploaded_FW_bin << "uploaded_FW.bin"
                                         << Files::uploaded_FW_fileName_bin;
        QTest::newRow("uploaded_FW_info_bin") << Files::uploaded_FW_info_bin << "uploaded_FW_info.bin"
                                              << Files::uploaded_FW_info_fileName_bin;
        QTest::newRow("uploaded_OTP_bin") << Files::uploaded_OTP_bin << "uploaded_OTP.bin"
                                          << Files::uploaded_OTP_fileName_bin;
    }

    void file_names()
    {
        QFETCH(ID, id);
        QFETCH(QString, name);
        QFETCH(QString, constant);
        QCOMPARE(Files::basename.size(), std::size_t(7));
        QCOMPARE(Files::basename.at(id), name);
        QCOMPARE(constant, name);
    }

    void extraction_data()
    {
        QTest::addColumn<std::vector<ID>>("ids");
        QTest::addColumn<bool>("strict");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QStringList>("files");

        QTest::newRow("empty list") << std::vector<ID>{} << true << true << QStringList() << QStringList();
        QTest::newRow("start-up order")
            << std::vector<ID>{Files::desired_FW_dfu, Files::desired_FW_bin, Files::dfu_util, Files::libusb} << true
            << true
            << QStringList{extracted("firmware.dfu"), extracted("firmware.bin"), extracted("dfu-util"),
                           extracted("libusb-1.0.so.0")}
            << QStringList{"dfu-util", "firmware.bin", "firmware.dfu", "libusb-1.0.so.0"};
        QTest::newRow("other order") << std::vector<ID>{Files::libusb, Files::desired_FW_bin} << true << true
                                     << QStringList{extracted("libusb-1.0.so.0"), extracted("firmware.bin")}
                                     << QStringList{"firmware.bin", "libusb-1.0.so.0"};
        QTest::newRow("twice, strict") << std::vector<ID>{Files::desired_FW_bin, Files::desired_FW_bin} << true
                                       << false << QStringList{extracted("firmware.bin"), failed("firmware.bin")}
                                       << QStringList{"firmware.bin"};
        QTest::newRow("twice, not strict") << std::vector<ID>{Files::desired_FW_bin, Files::desired_FW_bin}
                                           << false << true
                                           << QStringList{extracted("firmware.bin"), failed("firmware.bin")}
                                           << QStringList{"firmware.bin"};
        // A name the resources do not carry fails; the files after it are still extracted.
        QTest::newRow("failure first, strict") << std::vector<ID>{Files::uploaded_OTP_bin, Files::desired_FW_dfu}
                                               << true << false
                                               << QStringList{failed("uploaded_OTP.bin"), extracted("firmware.dfu")}
                                               << QStringList{"firmware.dfu"};
        QTest::newRow("failure first, not strict")
            << std::vector<ID>{Files::uploaded_OTP_bin, Files::desired_FW_dfu} << false << true
            << QStringList{failed("uploaded_OTP.bin"), extracted("firmware.dfu")} << QStringList{"firmware.dfu"};
        QTest::newRow("identifier without a name") << std::vector<ID>{ID(7)} << true << false
                                                   << QStringList{failed("")} << QStringList();
    }

    void extraction()
    {
        QFETCH(std::vector<ID>, ids);
        QFETCH(bool, strict);
        QFETCH(bool, result);
        QFETCH(QStringList, log);
        QFETCH(QStringList, files);

        LogCapture capture;
        QCOMPARE(Files::extract_resources(ids, strict), result);
        QCOMPARE(capture.lines(), log);
        for (auto const& entry : capture.entries())
            QCOMPARE(entry.type, entry.text.startsWith("Extracted") ? QtDebugMsg : QtInfoMsg);
        QCOMPARE(working_files(), files);
        for (auto const& name : files)
            QVERIFY2(file_bytes(Files::path_of(name)) == resource_bytes(name), qPrintable(name));
    }

    // An existing file, even one that is not the carried content, is never overwritten.
    void extraction_keeps_an_existing_file()
    {
        QVERIFY(write_file(Files::path_of("firmware.bin"), "mine"));
        QVERIFY(!Files::extract_resources({Files::desired_FW_bin}, true));
        QCOMPARE(file_bytes(Files::path_of("firmware.bin")), QByteArray("mine"));
    }

    void mark_file_executable_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("0600") << 0600 << 0711;
        QTest::newRow("0644") << 0644 << 0755;
        QTest::newRow("0640") << 0640 << 0751;
        QTest::newRow("0400") << 0400 << 0511;
        QTest::newRow("0000") << 0000 << 0111;
        QTest::newRow("0755 stays") << 0755 << 0755;
    }

    void mark_file_executable()
    {
        QFETCH(int, before);
        QFETCH(int, after);
        const QString path = scratch_.filePath(QStringLiteral("program"));
        QFile::remove(path);
        QVERIFY(write_file(path, "#!/bin/sh\n"));
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(before)), 0);

        LogCapture log;
        QVERIFY(support_misc::mark_file_executable(path));
        QCOMPARE(mode_of(path), after);
        QCOMPARE(log.entries().size(), 1);
        QCOMPARE(log.entries()[0].type, QtDebugMsg);
        QCOMPARE(log.entries()[0].text,
                 QStringLiteral("Changing file permissions to make it executable: \"%1\"").arg(path));
    }

    void mark_missing_file_executable()
    {
        const QString path = scratch_.filePath(QStringLiteral("missing"));
        LogCapture log;
        QVERIFY(!support_misc::mark_file_executable(path));
        QCOMPARE(log.entries().size(), 1);
        QCOMPARE(log.entries()[0].type, QtWarningMsg);
        QCOMPARE(log.entries()[0].text,
                 QStringLiteral("Failed to mark file (doesn't exist) as executable: \"%1\"").arg(path));
        QVERIFY(!QFile::exists(path));
    }

    void load_text_file_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArray("line 1\nline 2\n") << "line 1\nline 2\n";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("zero byte in the middle") << QByteArray("before\0after", 12) << "before";
        QTest::newRow("zero byte first") << QByteArray("\0after", 6) << "";
        QTest::newRow("UTF-8") << QByteArray("Gr\xc3\xbc\xc3\x9f" "e") << QString::fromUtf8("Gr\xc3\xbc\xc3\x9f" "e");
    }

    void load_text_file()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const QString path = scratch_.filePath(QStringLiteral("text"));
        QFile::remove(path);
        QVERIFY(write_file(path, bytes));
        QCOMPARE(support_misc::load_text_file(path), text);
    }

    void load_missing_text_file_throws()
    {
        const QString path = scratch_.filePath(QStringLiteral("missing.txt"));
        try {
            support_misc::load_text_file(path);
            QFAIL("no exception");
        } catch (QString const& message) {
            QCOMPARE(message, QStringLiteral("Couldn't open file: %1").arg(path));
        }
    }

    void ensure_file_is_deleted()
    {
        const QString file = scratch_.filePath(QStringLiteral("stale.bin"));
        const QString dir = scratch_.filePath(QStringLiteral("a-directory"));
        const QString missing = scratch_.filePath(QStringLiteral("missing.bin"));
        QVERIFY(write_file(file, "old"));
        QVERIFY(QDir().mkpath(dir));

        LogCapture log;
        support_misc::ensure_file_is_deleted(file);
        support_misc::ensure_file_is_deleted(dir);
        support_misc::ensure_file_is_deleted(missing);

        QVERIFY(!QFile::exists(file));
        QVERIFY(QFileInfo(dir).isDir());
        QVERIFY(!QFile::exists(missing));
        QCOMPARE(log.lines(), QStringList());
    }

    void platform_data()
    {
        QTest::addColumn<support_misc::Platform>("platform");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("built_for");
        QTest::newRow("Linux") << support_misc::Platform::Linux << "Linux" << true;
        QTest::newRow("macOS") << support_misc::Platform::macOS << "macOS" << false;
        QTest::newRow("Windows") << support_misc::Platform::Windows << "windows" << false;
        QTest::newRow("Unknown") << support_misc::Platform::Unknown << "unknown" << false;
        QTest::newRow("outside the table") << support_misc::Platform(9) << "" << false;
    }

    // The name is written without quotes and the stream's own quoting and spacing go on.
    void platform()
    {
        QFETCH(support_misc::Platform, platform);
        QFETCH(QString, name);
        QFETCH(bool, built_for);

        QCOMPARE(support_misc::compiled_for_platform(platform), built_for);
        LogCapture log;
        qDebug() << QStringLiteral("a") << platform << QStringLiteral("b");
        qDebug().nospace() << QStringLiteral("a") << platform << QStringLiteral("b");
        QCOMPARE(log.lines(), (QStringList{QStringLiteral("\"a\" %1 \"b\"").arg(name),
                                           QStringLiteral("\"a\"%1\"b\"").arg(name)}));
    }

    void build_constants()
    {
        QCOMPARE(support_misc::compiled_for_platform(), support_misc::Platform::Linux);
        QCOMPARE(support_misc::compiled_w_DEBUG, false);
    }

    void string_helpers()
    {
        QCOMPARE(support_misc::remove_carriage_returns(QStringLiteral("a\r\nb\r\r"), QLatin1Char('\r')),
                 QStringLiteral("a\nb"));
        QCOMPARE(support_misc::maybe_use_file_instead_of_resource(QStringLiteral(":resources/settings_GUI.json")),
                 QStringLiteral(":resources/settings_GUI.json"));
    }

    void show_resources_lists_every_entry()
    {
        LogCapture log;
        support_misc::show_resources();
        const QStringList lines = log.lines();
        for (auto const& name : {"firmware.bin", "firmware.dfu", "dfu-util", "libusb-1.0.so.0", "background.jpg",
                                 "settings_GUI.json", "VantrelSans-Regular.otf", "VantrelSans-Bold.otf"})
            QVERIFY2(lines.contains(QStringLiteral("\":resources/%1\"").arg(name)), name);
        for (auto const& entry : log.entries())
            QCOMPARE(entry.type, QtDebugMsg);
    }

    // The working directory goes when a program that has one ends normally.
    void working_directory_is_removed_at_exit()
    {
        QProcess program;
        program.start(QStringLiteral(HELPER_PRINT_WORKDIR), QStringList());
        QVERIFY(program.waitForFinished(-1));
        QCOMPARE(program.exitCode(), 0);
        const QString path = QString::fromLocal8Bit(program.readAllStandardOutput()).trimmed();
        QVERIFY2(path.contains(QStringLiteral("/upgrade_")), qPrintable(path));
        QVERIFY(!QFileInfo::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "test_files.moc"
