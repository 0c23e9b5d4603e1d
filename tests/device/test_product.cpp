// The product catalogue: lookups, classifications, the decoded identification and its text.
#include "device/product.h"

#include <QtTest>

#include <iomanip>
#include <sstream>

Q_DECLARE_METATYPE(Device::ProductInfo)

namespace {

Device::ProductInfo info_of(quint8 type, quint8 ext1 = 0xFF, quint8 ext2 = 0xFF, quint8 ext3 = 0xFF)
{
    return Device::make_ProductInfo(Device::ProductInfoRaw{type, ext1, ext2, ext3});
}

QList<int> fields(Device::ProductInfo const& info)
{
    return {int(info.type), info.ext1, info.ext2, info.ext3, info.raw_type};
}

} // namespace

class TestProduct : public QObject {
    Q_OBJECT

private slots:
    void catalogue_rows_in_order()
    {
        QList<int> codes;
        QStringList code_names;
        for (auto const& row : Device::products) {
            codes << int(row.type);
            code_names << row.code_name;
        }
        QCOMPARE(codes, (QList<int>{0, 255, 3, 43, 11, 132, 30, 140, 254}));
        QCOMPARE(code_names, (QStringList{"Invalid", "Undefined", "Korvath", "Selvo", "K4i", "Durna", "Fino",
                                          "Halkora", "Unknown"}));
    }

    // One row per code: what every lookup and classification says about it.
    void codes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("name_full");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("known");
        QTest::addColumn<int>("type_of_byte");

        QTest::newRow("0") << 0 << "invalid" << "N/A" << "N/A" << false << false << 0;
        QTest::newRow("255") << 255 << "undefined" << "?" << "?" << false << false << 255;
        QTest::newRow("3") << 3 << "KORV" << "Tor-20" << "Tor-20 SkyLnk" << true << true << 3;
        QTest::newRow("43") << 43 << "SELV" << "K4" << "K4 SkyLnk" << true << true << 43;
        QTest::newRow("11") << 11 << "K4I" << "K4 Industrial" << "K4 Industrial" << true << true << 11;
        QTest::newRow("132") << 132 << "DURN" << "R7Z" << "Vantrel R7Z" << true << true << 132;
        QTest::newRow("30") << 30 << "FINO" << "FINO" << "Vantrel FINO" << true << true << 30;
        QTest::newRow("140") << 140 << "HALK" << "M30" << "Vantrel M30 Plus<br>Vantrel M30" << true << true << 140;
        QTest::newRow("254") << 254 << "unknown" << "unknown" << "unknown" << true << false << 254;
        // Codes without a row: the tests look only at the number.
        QTest::newRow("7") << 7 << "impossible type" << "" << "" << true << true << 254;
        QTest::newRow("1") << 1 << "impossible type" << "" << "" << true << true << 254;
        QTest::newRow("253") << 253 << "impossible type" << "" << "" << true << true << 254;
    }

    void codes()
    {
        QFETCH(int, code);
        QFETCH(QString, tag);
        QFETCH(QString, name);
        QFETCH(QString, name_full);
        QFETCH(bool, valid);
        QFETCH(bool, known);
        QFETCH(int, type_of_byte);

        const auto type = static_cast<Device::Type>(code);
        QCOMPARE(Device::to_QString(type), tag);
        QCOMPARE(QString::fromStdString(Device::to_string(type)), tag);
        QCOMPARE(Device::is_valid(type), valid);
        QCOMPARE(Device::is_known(type), known);
        QCOMPARE(int(Device::to_Type(static_cast<unsigned char>(code))), type_of_byte);

        Device::ProductInfo info;
        info.type = type;
        QCOMPARE(info.product_name(), name);
        QCOMPARE(info.product_name_full(), name_full);

        const bool listed = type_of_byte == code;
        QCOMPARE(Device::products.find(type) != Device::products.end(), listed);
        if (listed) {
            QCOMPARE(int(Device::to_Type(tag)), code);
            QCOMPARE(int(Device::products.find(tag)->type), code);
        }
    }

    void type_of_tag_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("type");
        QTest::newRow("null") << QString() << 0;
        QTest::newRow("empty") << QString("") << 0;
        QTest::newRow("invalid") << "invalid" << 0;
        QTest::newRow("undefined") << "undefined" << 255;
        QTest::newRow("unknown") << "unknown" << 254;
        QTest::newRow("K4I") << "K4I" << 11;
        QTest::newRow("other case") << "k4i" << 254;
        QTest::newRow("code name") << "Halkora" << 254;
        QTest::newRow("trailing space") << "HALK " << 254;
        QTest::newRow("product name") << "M30" << 254;
    }

    void type_of_tag()
    {
        QFETCH(QString, tag);
        QFETCH(int, type);
        QCOMPARE(int(Device::to_Type(tag)), type);
    }

    void standard_stream_applies_width_and_fill()
    {
        std::ostringstream right;
        right << std::setw(8) << Device::Halkora << '|' << static_cast<Device::Type>(7);
        QCOMPARE(QString::fromStdString(right.str()), QStringLiteral("    HALK|impossible type"));
        std::ostringstream left;
        left << std::left << std::setfill('.') << std::setw(6) << Device::K4i;
        QCOMPARE(QString::fromStdString(left.str()), QStringLiteral("K4I..."));
    }

    void decoded_identification_data()
    {
        QTest::addColumn<Device::ProductInfo>("info");
        QTest::addColumn<QList<int>>("fields");
        QTest::addColumn<QString>("text");

        QTest::newRow("listed, FF FF FF") << info_of(0x8C) << QList<int>{140, 0xFF, 0xFF, 0xFF, 140}
                                          << "ProductInfo: HALK (140)";
        QTest::newRow("unlisted 07") << info_of(0x07) << QList<int>{254, 0xFF, 0xFF, 0xFF, 7}
                                     << "ProductInfo: unknown (254) [07 ff ff ff]";
        QTest::newRow("stored 254") << info_of(0xFE) << QList<int>{254, 0xFF, 0xFF, 0xFF, 254}
                                    << "ProductInfo: unknown (254) [fe ff ff ff]";
        QTest::newRow("listed, other extension bytes") << info_of(0x03, 0x01, 0xFF, 0xA0)
                                                       << QList<int>{3, 0x01, 0xFF, 0xA0, 3}
                                                       << "ProductInfo: KORV (3) [03 01 ff a0]";
        QTest::newRow("erased") << info_of(0xFF) << QList<int>{255, 0xFF, 0xFF, 0xFF, 255}
                                << "ProductInfo: undefined (255)";
        QTest::newRow("zero") << info_of(0x00, 0x00, 0x00, 0x00) << QList<int>{0, 0, 0, 0, 0}
                              << "ProductInfo: invalid (0) [00 00 00 00]";
        QTest::newRow("default") << Device::ProductInfo() << QList<int>{0, 0xFF, 0xFF, 0xFF, 0}
                                 << "ProductInfo: invalid (0)";
        Device::ProductInfo unlisted_type;
        unlisted_type.type = static_cast<Device::Type>(7);
        unlisted_type.raw_type = 7;
        QTest::newRow("type without a row") << unlisted_type << QList<int>{7, 0xFF, 0xFF, 0xFF, 7}
                                            << "ProductInfo: impossible type (7)";
    }

    void decoded_identification()
    {
        QFETCH(Device::ProductInfo, info);
        QFETCH(QList<int>, fields);
        QFETCH(QString, text);
        QCOMPARE(::fields(info), fields);
        QCOMPARE(QString(info), text);
    }

    void equality_data()
    {
        QTest::addColumn<Device::ProductInfo>("a");
        QTest::addColumn<Device::ProductInfo>("b");
        QTest::addColumn<bool>("equal");
        QTest::newRow("same") << info_of(0x8C) << info_of(0x8C) << true;
        QTest::newRow("unlisted 07 and 09, raw type differs") << info_of(0x07) << info_of(0x09) << true;
        QTest::newRow("other product") << info_of(0x8C) << info_of(0x84) << false;
        QTest::newRow("ext1 differs") << info_of(0x8C) << info_of(0x8C, 0xFE) << false;
        QTest::newRow("ext2 differs") << info_of(0x8C) << info_of(0x8C, 0xFF, 0x00) << false;
        QTest::newRow("ext3 differs") << info_of(0x8C) << info_of(0x8C, 0xFF, 0xFF, 0x7F) << false;
        QTest::newRow("unlisted and stored 254") << info_of(0x07) << info_of(0xFE) << true;
    }

    void equality()
    {
        QFETCH(Device::ProductInfo, a);
        QFETCH(Device::ProductInfo, b);
        QFETCH(bool, equal);
        QCOMPARE(a == b, equal);
        QCOMPARE(b == a, equal);
        QCOMPARE(a != b, !equal);
    }
};

QTEST_GUILESS_MAIN(TestProduct)
#include "test_product.moc"
