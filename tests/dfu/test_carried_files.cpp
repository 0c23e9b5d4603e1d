// The carried firmware: firmware.dfu is the DfuSe form of firmware.bin, which holds an info block.
#include "device/fw_info.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

QByteArray resource_bytes(QString const& name)
{
    QFile file(QStringLiteral(":resources/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

struct DfuSeElement {
    quint32 address = 0;
    QByteArray data;
};

struct DfuSeTarget {
    int alt = -1;
    QList<DfuSeElement> elements;
};

struct DfuSeFile {
    bool ok = false;
    int version = -1;
    QList<DfuSeTarget> targets;
    quint16 vendor = 0;
    quint16 product = 0;
};

constexpr int dfuse_prefix_size = 11;
constexpr int dfuse_target_prefix_size = 274;
constexpr int dfuse_element_header_size = 8;
constexpr int dfu_suffix_size = 16;

quint32 le32(QByteArray const& bytes, int pos)
{
    return qFromLittleEndian<quint32>(bytes.constData() + pos);
}

quint16 le16(QByteArray const& bytes, int pos)
{
    return qFromLittleEndian<quint16>(bytes.constData() + pos);
}

// Reads the prefix, the targets with their elements, and the suffix of a DfuSe file.
DfuSeFile parse_dfuse(QByteArray const& file)
{
    DfuSeFile result;
    if (file.size() < dfuse_prefix_size + dfu_suffix_size || !file.startsWith("DfuSe"))
        return result;
    const int body_end = file.size() - dfu_suffix_size;
    result.version = quint8(file[5]);
    const int nr_targets = quint8(file[10]);
    int pos = dfuse_prefix_size;
    for (int t = 0; t < nr_targets; ++t) {
        if (pos + dfuse_target_prefix_size > body_end || file.mid(pos, 6) != "Target")
            return result;
        DfuSeTarget target;
        target.alt = quint8(file[pos + 6]);
        const quint32 nr_elements = le32(file, pos + 270);
        pos += dfuse_target_prefix_size;
        for (quint32 e = 0; e < nr_elements; ++e) {
            if (pos + dfuse_element_header_size > body_end)
                return result;
            DfuSeElement element;
            element.address = le32(file, pos);
            const quint32 size = le32(file, pos + 4);
            pos += dfuse_element_header_size;
            if (size > quint32(body_end - pos))
                return result;
            element.data = file.mid(pos, int(size));
            pos += int(size);
            target.elements << element;
        }
        result.targets << target;
    }
    if (pos != body_end || file.mid(body_end + 8, 3) != "UFD")
        return result;
    result.product = le16(file, body_end + 2);
    result.vendor = le16(file, body_end + 4);
    result.ok = true;
    return result;
}

} // namespace

class TestCarriedFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(resources); }

    void dfu_file_passes_dfu_suffix_check()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("firmware.dfu"));
        QVERIFY(QFile::copy(QStringLiteral(":resources/firmware.dfu"), path));

        QProcess check;
        check.start(QStringLiteral(DFU_SUFFIX_PROGRAM), {QStringLiteral("-c"), path});
        QVERIFY(check.waitForFinished(-1));
        QVERIFY2(check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0,
                 check.readAllStandardError().constData());
    }

    void dfu_file_holds_the_raw_image_at_flash_start()
    {
        const QByteArray bin = resource_bytes(QStringLiteral("firmware.bin"));
        QVERIFY(!bin.isEmpty());
        const DfuSeFile dfu = parse_dfuse(resource_bytes(QStringLiteral("firmware.dfu")));

        QVERIFY(dfu.ok);
        QCOMPARE(dfu.version, 1);
        QCOMPARE(dfu.targets.size(), 1);
        QCOMPARE(dfu.targets[0].alt, 0);
        QCOMPARE(dfu.targets[0].elements.size(), 1);
        QCOMPARE(dfu.targets[0].elements[0].address, quint32(0x08000000));
        QVERIFY(dfu.targets[0].elements[0].data == bin);
        QCOMPARE(dfu.vendor, quint16(0x0483));
        QCOMPARE(dfu.product, quint16(0xdf11));
    }

    void raw_image_carries_an_info_block_in_its_first_1948_bytes()
    {
        const QByteArray bin = resource_bytes(QStringLiteral("firmware.bin"));
        const Device::FW_Info info = Device::make_FW_Info(bin.left(Device::fw_info_max_marker_offset));
        QVERIFY(info.valid);
        QVERIFY(Device::is_known(info.product.type));
        QVERIFY(!info.revision.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCarriedFiles)
#include "test_carried_files.moc"
