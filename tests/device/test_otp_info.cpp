// Decoding OTP dumps: the outcomes for every kind of dump, the two messages and the text.
#include "device/otp_info.h"
#include "device/record_writer.h"
#include "log_capture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray record(quint8 code, QByteArray const& payload = QByteArray(8, '\0'))
{
    return Device::write_OTP_record(Device::ProductInfoRaw{code, 0xFF, 0xFF, 0xFF}, payload);
}

QByteArray erased(int size)
{
    return QByteArray(size, char(0xFF));
}

QList<int> fields(Device::ProductInfo const& info)
{
    return {int(info.type), info.ext1, info.ext2, info.ext3, info.raw_type};
}

QByteArray payload_of(Device::OTP_Info const& info)
{
    return QByteArray(reinterpret_cast<char const*>(info.payload.data()), int(info.payload.size()));
}

const QString not_used = QStringLiteral("Device not used, has invalid info in its OTP info.");

QString unknown_type(QString const& product_text)
{
    return QStringLiteral("Unknown device type according to OTP info,  \"%1\"").arg(product_text);
}

QString text(bool valid, QString const& product_text)
{
    return QStringLiteral("OTP info:\nMarker %1\nProduct: %2\n")
        .arg(valid ? QStringLiteral("valid") : QStringLiteral("invalid"), product_text);
}

const QList<int> empty_product{0, 0xFF, 0xFF, 0xFF, 0};
const QByteArray zero_payload(8, '\0');

} // namespace

class TestOtpInfo : public QObject {
    Q_OBJECT

private slots:
    void outcomes_data()
    {
        using Device::write_at;
        using Device::write_OTP_dump;
        QTest::addColumn<QByteArray>("dump");
        QTest::addColumn<QList<int>>("product");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("blank");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("product_name");

        const QString blank_text = text(false, "ProductInfo: invalid (0)");

        // Blank
        QTest::newRow("empty") << QByteArray() << empty_product << false << true << zero_payload << QStringList()
                               << blank_text << "N/A";
        QTest::newRow("512 erased bytes") << write_OTP_dump() << empty_product << false << true << zero_payload
                                          << QStringList() << blank_text << "N/A";
        QTest::newRow("one erased byte") << erased(1) << empty_product << false << true << zero_payload
                                         << QStringList() << blank_text << "N/A";

        // No usable marker: the empty record, no message
        QTest::newRow("erased but one byte") << write_at(erased(512), 100, QByteArray(1, '\0')) << empty_product
                                             << false << false << zero_payload << QStringList() << blank_text
                                             << "N/A";
        QTest::newRow("all zero") << QByteArray(512, '\0') << empty_product << false << false << zero_payload
                                  << QStringList() << blank_text << "N/A";
        QTest::newRow("record at 8") << write_at(erased(512), 8, record(0x8C)) << empty_product << false << false
                                     << zero_payload << QStringList() << blank_text << "N/A";
        QTest::newRow("misaligned marker after a good record")
            << write_at(write_OTP_dump(record(0x8C), 0), 40, Device::write_le32(Device::otp_marker))
            << empty_product << false << false << zero_payload << QStringList() << blank_text << "N/A";
        QTest::newRow("last marker at 512 of a longer dump")
            << write_at(write_OTP_dump(record(0x8C), 0), 512, record(0x8C)) << empty_product << false << false
            << zero_payload << QStringList() << blank_text << "N/A";
        QTest::newRow("marker in the final 15 bytes of a short dump")
            << write_at(erased(16), 16, Device::write_le32(Device::otp_marker)) << empty_product << false << false
            << zero_payload << QStringList() << blank_text << "N/A";
        QTest::newRow("record cut short by one byte") << record(0x8C).left(15) << empty_product << false << false
                                                      << zero_payload << QStringList() << blank_text << "N/A";

        // A listed product
        const QString halk_text = text(true, "ProductInfo: HALK (140)");
        QTest::newRow("record at 0") << write_OTP_dump(record(0x8C), 0) << QList<int>{140, 0xFF, 0xFF, 0xFF, 140}
                                     << true << false << zero_payload << QStringList() << halk_text << "M30";
        QTest::newRow("records at 0 and 16, the later counts")
            << write_OTP_dump(record(0x03) + record(0x8C), 0) << QList<int>{140, 0xFF, 0xFF, 0xFF, 140} << true
            << false << zero_payload << QStringList() << halk_text << "M30";
        QTest::newRow("record at 496") << write_OTP_dump(record(0x1E), 31) << QList<int>{30, 0xFF, 0xFF, 0xFF, 30}
                                       << true << false << zero_payload << QStringList()
                                       << text(true, "ProductInfo: FINO (30)") << "FINO";
        QTest::newRow("16-byte dump of one record") << record(0x8C) << QList<int>{140, 0xFF, 0xFF, 0xFF, 140}
                                                    << true << false << zero_payload << QStringList() << halk_text
                                                    << "M30";
        QTest::newRow("payload kept") << write_OTP_dump(record(0x0B, "\x01\x02\x03\x04\x05\x06\x07\x08"), 2)
                                      << QList<int>{11, 0xFF, 0xFF, 0xFF, 11} << true << false
                                      << QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08") << QStringList()
                                      << text(true, "ProductInfo: K4I (11)") << "K4 Industrial";
        QTest::newRow("extension bytes kept")
            << write_OTP_dump(Device::write_OTP_record(Device::ProductInfoRaw{0x84, 0x01, 0x02, 0x03}), 0)
            << QList<int>{132, 1, 2, 3, 132} << true << false << zero_payload << QStringList()
            << text(true, "ProductInfo: DURN (132) [84 01 02 03]") << "R7Z";

        // Stored codes 0 and 255: not used
        QTest::newRow("stored 0") << write_OTP_dump(record(0x00), 0) << empty_product << false << false
                                  << zero_payload << QStringList{not_used} << blank_text << "N/A";
        QTest::newRow("stored 255") << write_OTP_dump(record(0xFF), 0) << QList<int>{255, 0xFF, 0xFF, 0xFF, 255}
                                    << false << false << zero_payload << QStringList{not_used}
                                    << text(false, "ProductInfo: undefined (255)") << "?";

        // Stored codes the catalogue lacks
        QTest::newRow("stored 07") << write_OTP_dump(record(0x07), 0) << QList<int>{0, 0xFF, 0xFF, 0xFF, 7}
                                   << false << false << zero_payload
                                   << QStringList{unknown_type("ProductInfo: unknown (254) [07 ff ff ff]")}
                                   << blank_text << "N/A";
        QTest::newRow("stored 254") << write_OTP_dump(record(0xFE), 0) << QList<int>{0, 0xFF, 0xFF, 0xFF, 254}
                                    << false << false << zero_payload
                                    << QStringList{unknown_type("ProductInfo: unknown (254) [fe ff ff ff]")}
                                    << blank_text << "N/A";
    }

    void outcomes()
    {
        QFETCH(QByteArray, dump);
        QFETCH(QList<int>, product);
        QFETCH(bool, valid);
        QFETCH(bool, blank);
        QFETCH(QByteArray, payload);
        QFETCH(QStringList, log);
        QFETCH(QString, text);
        QFETCH(QString, product_name);

        LogCapture capture;
        const Device::OTP_Info info = Device::make_OTP_Info(dump);
        QCOMPARE(fields(info.product), product);
        QCOMPARE(info.valid, valid);
        QCOMPARE(info.blank, blank);
        QCOMPARE(payload_of(info), payload);
        QCOMPARE(capture.lines(), log);
        for (auto const& entry : capture.entries())
            QCOMPARE(entry.type, QtInfoMsg);
        QCOMPARE(QString(info), text);
        QCOMPARE(info.product_name(), product_name);
    }

    void from_file_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("blank");
        QTest::newRow("cannot be opened") << false << QByteArray() << 0 << false << false;
        QTest::newRow("empty file") << true << QByteArray() << 0 << false << true;
        QTest::newRow("one record") << true << Device::write_OTP_dump(record(0x2B), 5) << 43 << true << false;
    }

    void from_file()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, contents);
        QFETCH(int, type);
        QFETCH(bool, valid);
        QFETCH(bool, blank);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("uploaded_OTP.bin"));
        if (exists) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(contents), qint64(contents.size()));
        }
        LogCapture capture;
        const Device::OTP_Info info = Device::make_OTP_Info(path);
        QCOMPARE(int(info.product.type), type);
        QCOMPARE(info.valid, valid);
        QCOMPARE(info.blank, blank);
        QCOMPARE(capture.lines(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestOtpInfo)
#include "test_otp_info.moc"
