// Decoding firmware info blocks: marker positions, string fields, detail pairs, the messages
// and the display text.
#include "device/fw_info.h"
#include "device/record_writer.h"
#include "log_capture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Pairs = QList<QPair<QString, QString>>;
using Device::write_at;
using Device::write_le32;

const Device::ProductInfoRaw halk{0x8C, 0xFF, 0xFF, 0xFF};

QByteArray block(Pairs const& pairs = {}, QString const& name = QStringLiteral("M30 main"),
                 QString const& revision = QStringLiteral("3.2.0"), Device::ProductInfoRaw product = halk)
{
    return Device::write_FW_Info_block(product, name, revision, pairs);
}

const Pairs three_pairs{{"Build date", "2024-05-17"}, {"Source rev", "a1b2c3d"}, {"Board", "B"}};
const QByteArray end_marker = write_le32(Device::fw_info_end_marker);

QList<int> fields(Device::ProductInfo const& info)
{
    return {int(info.type), info.ext1, info.ext2, info.ext3, info.raw_type};
}

QStringList flattened(Pairs const& pairs)
{
    QStringList items;
    for (auto const& pair : pairs)
        items << pair.first + QLatin1Char('=') + pair.second;
    return items;
}

QString markers_message(int begin, int end)
{
    return QStringLiteral("index_beg =  %1 index_end =  %2").arg(begin).arg(end);
}

QString pairs_message(int begin, int end, int pair_bytes)
{
    return markers_message(begin, end) + QStringLiteral(" nr_of_pair_bytes = %1").arg(pair_bytes);
}

const QList<int> halk_fields{140, 0xFF, 0xFF, 0xFF, 140};
const QList<int> invalid_fields{0, 0xFF, 0xFF, 0xFF, 0};

} // namespace

class TestFwInfo : public QObject {
    Q_OBJECT

private slots:
    void decoding_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QList<int>>("product");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("revision");
        QTest::addColumn<QStringList>("details");
        QTest::addColumn<QStringList>("log");

        const QStringList none;
        const QString null;

        // Well-formed blocks
        QTest::newRow("markers 72 apart, no pairs") << block() << true << halk_fields << "M30 main" << "3.2.0"
                                                    << none << none;
        QTest::newRow("three pairs") << block(three_pairs) << true << halk_fields << "M30 main" << "3.2.0"
                                     << flattened(three_pairs) << none;
        QTest::newRow("block after other bytes") << write_at(QByteArray(), 700, block(three_pairs), char(0xA5))
                                                 << true << halk_fields << "M30 main" << "3.2.0"
                                                 << flattened(three_pairs) << none;
        QTest::newRow("start of an image") << Device::write_firmware_image(block(three_pairs), 2048) << true
                                           << halk_fields << "M30 main" << "3.2.0" << flattened(three_pairs)
                                           << none;
        QTest::newRow("unlisted product code") << block({}, "X", "1", {0x07, 0xFF, 0xFF, 0xFF}) << true
                                               << QList<int>{254, 0xFF, 0xFF, 0xFF, 7} << "X" << "1" << none
                                               << none;
        QTest::newRow("empty name and revision") << block({}, "", "") << true << halk_fields << "" << "" << none
                                                 << none;
        QTest::newRow("UTF-8 name") << block({}, QString::fromUtf8("Gr\xc3\xb6\xc3\x9f" "e")) << true
                                    << halk_fields << QString::fromUtf8("Gr\xc3\xb6\xc3\x9f" "e") << "3.2.0" << none
                                    << none;

        // Markers missing or badly placed
        QTest::newRow("no begin marker") << block().mid(4) << false << invalid_fields << null << null << none
                                         << QStringList{markers_message(-1, 68)};
        QTest::newRow("no end marker") << block().chopped(4) << false << invalid_fields << null << null << none
                                       << QStringList{markers_message(0, -1)};
        QTest::newRow("no marker") << QByteArray(2048, char(0xFF)) << false << invalid_fields << null << null
                                   << none << QStringList{markers_message(-1, -1)};
        QTest::newRow("end marker 100 bytes after begin") << write_at(block().left(72), 100, end_marker) << false
                                                          << invalid_fields << null << null << none
                                                          << QStringList{pairs_message(0, 100, 28)};
        QTest::newRow("end marker before begin") << end_marker + block() << false << invalid_fields << null << null
                                                 << none << QStringList{pairs_message(4, 0, -76)};
        QTest::newRow("end marker at 1948") << write_at(QByteArray(), 1876, block()) << true << halk_fields
                                            << "M30 main" << "3.2.0" << none << none;
        QTest::newRow("end marker at 1949") << write_at(QByteArray(), 1877, block()) << false << invalid_fields
                                            << null << null << none << none;
        QTest::newRow("begin marker at 1949") << write_at(QByteArray(), 1949, block()) << false << invalid_fields
                                              << null << null << none << none;

        // String fields
        const QString name31(31, QLatin1Char('N'));
        QTest::newRow("name of 31 characters") << block({}, name31) << true << halk_fields << name31 << "3.2.0"
                                               << none << none;
        QTest::newRow("name of 32 characters, no NUL") << write_at(block(), 8, QByteArray(32, 'N')) << true
                                                       << halk_fields << null << "3.2.0" << none << none;

        // Pairs end at the first empty key or value
        QTest::newRow("second key empty") << block({three_pairs[0], {"", "x"}, three_pairs[2]}) << true
                                          << halk_fields << "M30 main" << "3.2.0"
                                          << flattened(three_pairs.mid(0, 1)) << none;
        QTest::newRow("first value empty") << block({{"Build date", ""}, three_pairs[1]}) << true << halk_fields
                                           << "M30 main" << "3.2.0" << none << none;

        // The first end marker counts, even inside a field
        QTest::newRow("end marker bytes in the name field") << write_at(block(three_pairs), 12, end_marker) << false
                                                            << invalid_fields << null << null << none
                                                            << QStringList{pairs_message(0, 12, -60)};
        QTest::newRow("end marker bytes at the second key") << write_at(block(three_pairs), 136, end_marker) << true
                                                            << halk_fields << "M30 main" << "3.2.0"
                                                            << flattened(three_pairs.mid(0, 1)) << none;
    }

    void decoding()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, valid);
        QFETCH(QList<int>, product);
        QFETCH(QString, name);
        QFETCH(QString, revision);
        QFETCH(QStringList, details);
        QFETCH(QStringList, log);

        LogCapture capture;
        const Device::FW_Info info = Device::make_FW_Info(data);
        QCOMPARE(info.valid, valid);
        QCOMPARE(fields(info.product), product);
        QCOMPARE(info.name, name);
        QCOMPARE(info.name.isNull(), name.isNull());
        QCOMPARE(info.revision, revision);
        QCOMPARE(info.revision.isNull(), revision.isNull());
        QCOMPARE(flattened(info.details), details);
        QCOMPARE(capture.lines(), log);
        for (auto const& entry : capture.entries())
            QCOMPARE(entry.type, QtDebugMsg);
    }

    void string_field_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("pos");
        QTest::addColumn<QString>("text");

        const QString null;
        QTest::newRow("text and NULs") << Device::write_string_field("abc") << 0 << "abc";
        QTest::newRow("all NUL") << QByteArray(32, '\0') << 0 << "";
        QTest::newRow("NUL inside") << QByteArray("ab\0cd", 5) + QByteArray(27, '\0') << 0 << "ab";
        QTest::newRow("31 characters and a NUL") << Device::write_string_field(QString(31, 'x')) << 0
                                                 << QString(31, 'x');
        QTest::newRow("32 characters") << QByteArray(32, 'x') << 0 << null;
        QTest::newRow("32 characters, NUL after the field") << QByteArray(32, 'x') + QByteArray(8, '\0') << 0
                                                            << null;
        QTest::newRow("at an offset") << QByteArray("zz") + Device::write_string_field("rev") << 2 << "rev";
        QTest::newRow("cut by the end of the data") << QByteArray("abc") << 0 << "abc";
        QTest::newRow("cut, 31 bytes left") << QByteArray(32, 'x') << 1 << QString(31, 'x');
        QTest::newRow("at the end of the data") << QByteArray("abc") << 3 << "";
    }

    void string_field()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, pos);
        QFETCH(QString, text);
        const QString read = Device::get_string(data, pos);
        QCOMPARE(read, text);
        QCOMPARE(read.isNull(), text.isNull());
    }

    void field_length_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<int>("length");
        QTest::newRow("empty") << QByteArray(32, '\0') << 0;
        QTest::newRow("five") << Device::write_string_field("hello") << 5;
        QTest::newRow("31") << Device::write_string_field(QString(31, 'x')) << 31;
        QTest::newRow("no NUL") << QByteArray(32, 'x') << -1;
        QTest::newRow("NUL only after the field") << QByteArray(32, 'x') + QByteArray(1, '\0') << -1;
    }

    void field_length()
    {
        QFETCH(QByteArray, field);
        QFETCH(int, length);
        QCOMPARE(Device::local_strlen(field.constData()), length);
    }

    void display_text_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("text");

        QTest::newRow("invalid") << QByteArray() << "FW info:\n\tInvalid";
        QTest::newRow("no pairs") << block() << "FW info:\n"
                                                "  Type: ProductInfo: HALK (140)\n"
                                                "  Name: M30 main\n"
                                                "  Rev.: 3.2.0\n"
                                                "  Details:";
        QTest::newRow("two pairs") << block(three_pairs.mid(0, 2))
                                   << "FW info:\n"
                                      "  Type: ProductInfo: HALK (140)\n"
                                      "  Name: M30 main\n"
                                      "  Rev.: 3.2.0\n"
                                      "  Details:\n"
                                      "    Build date                     : 2024-05-17                     \n"
                                      "    Source rev                     : a1b2c3d                        ";
        QTest::newRow("longest key and value, unlisted product, empty name")
            << block({{QString(31, 'K'), QString(31, 'V')}}, "", "0.1", {0x07, 0xFF, 0xFF, 0xFF})
            << "FW info:\n"
               "  Type: ProductInfo: unknown (254) [07 ff ff ff]\n"
               "  Name: \n"
               "  Rev.: 0.1\n"
               "  Details:\n"
               "    KKKKKKKKKKKKKKKKKKKKKKKKKKKKKKK: VVVVVVVVVVVVVVVVVVVVVVVVVVVVVVV";
    }

    void display_text()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, text);
        LogCapture capture; // keeps the decoder's message of the invalid row out of the way
        QCOMPARE(QString(Device::make_FW_Info(data)), text);
    }

    void from_file()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("uploaded_FW_info.bin"));
        QVERIFY(!Device::make_FW_Info(path).valid);

        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Device::write_firmware_image(block(three_pairs), 2048));
        file.close();
        const Device::FW_Info info = Device::make_FW_Info(path);
        QVERIFY(info.valid);
        QCOMPARE(info.revision, QStringLiteral("3.2.0"));
        QCOMPARE(flattened(info.details), flattened(three_pairs));
    }
};

QTEST_GUILESS_MAIN(TestFwInfo)
#include "test_fw_info.moc"
