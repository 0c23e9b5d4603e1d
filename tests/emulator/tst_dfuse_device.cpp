// The emulated bootloader's model on its own: descriptors, DFU state machine, DfuSe
// commands, memories in the state folder, faults.
#include "dfuse_device.h"
#include "scenario_setup.h"
#include "usb_descriptors.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Emulator;

namespace {

QByteArray le32(std::uint32_t v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

ControlResult send(DfuseDevice& dev, std::uint8_t request, std::uint16_t value, QByteArray const& data)
{
    SetupPacket s;
    s.request_type = request_type_class_out;
    s.request = request;
    s.value = value;
    s.length = std::uint16_t(data.size());
    return dev.control(s, data);
}

ControlResult receive(DfuseDevice& dev, std::uint8_t request, std::uint16_t value, std::uint16_t length)
{
    SetupPacket s;
    s.request_type = request_type_class_in;
    s.request = request;
    s.value = value;
    s.length = length;
    return dev.control(s, {});
}

struct Status {
    int status = -1;
    int state = -1;
};

Status get_status(DfuseDevice& dev)
{
    const ControlResult r = receive(dev, dfu_getstatus, 0, 6);
    if (r.outcome != ControlResult::done || r.data.size() != 6)
        return {};
    return {std::uint8_t(r.data[0]), std::uint8_t(r.data[4])};
}

// A download followed by the two status requests dfu-util makes: busy, then the outcome.
Status download_and_settle(DfuseDevice& dev, std::uint16_t block, QByteArray const& data)
{
    if (send(dev, dfu_dnload, block, data).outcome != ControlResult::done)
        return {};
    const Status busy = get_status(dev);
    if (busy.state != dfu_dnbusy)
        return busy;
    return get_status(dev);
}

Status command(DfuseDevice& dev, QByteArray const& bytes)
{
    return download_and_settle(dev, 0, bytes);
}

QByteArray set_address(std::uint32_t a)
{
    return QByteArray(1, char(dfuse_set_address)) + le32(a);
}

QByteArray erase(std::uint32_t a)
{
    return QByteArray(1, char(dfuse_erase)) + le32(a);
}

QString utf16_string(QByteArray const& descriptor)
{
    QString s;
    for (int i = 2; i + 1 < descriptor.size(); i += 2)
        s.append(QChar(std::uint8_t(descriptor[i]) | (std::uint8_t(descriptor[i + 1]) << 8)));
    return s;
}

} // namespace

class TestDfuseDevice : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString state_path_;
    std::unique_ptr<DfuseDevice> dev_;

    StateFolder state() const { return StateFolder(state_path_); }

    void fresh_device(QStringList const& setup = {})
    {
        static int n = 0;
        state_path_ = dir_.filePath(QStringLiteral("state%1").arg(++n));
        QString error;
        QVERIFY2(apply_scenario_setup(state(), QStringList{QStringLiteral("--reset")} + setup, &error),
                 qPrintable(error));
        dev_ = std::make_unique<DfuseDevice>(stm32_dfuse_bootloader(state().serial()), state());
        dev_->power_on();
    }

private slots:
    void descriptors_are_those_of_the_rom_bootloader()
    {
        const UsbIdentity id = stm32_dfuse_bootloader(QStringLiteral("3276365A3235"));
        const QByteArray dev = device_descriptor(id);
        QCOMPARE(dev.toHex(), QByteArray("1201000100000040830411df0022010203" "01"));
        const QByteArray config = configuration_descriptor(id);
        QCOMPARE(config.size(), 9 + 4 * 9 + 9);
        QCOMPARE(int(std::uint8_t(config[2]) | (std::uint8_t(config[3]) << 8)), config.size());
        for (int alt = 0; alt < 4; ++alt) {
            const QByteArray intf = config.mid(9 + 9 * alt, 9);
            const char expected[] = {9, 4, 0, char(alt), 0, char(0xFE), 1, 2, char(4 + alt)};
            QCOMPARE(intf, QByteArray(expected, 9));
        }
        QCOMPARE(config.right(9).toHex(), QByteArray("09210bff0000081a01"));
        QCOMPARE(utf16_string(string_descriptor(id, string_index_product)), QStringLiteral("STM32  BOOTLOADER"));
        QCOMPARE(utf16_string(string_descriptor(id, string_index_serial)), QStringLiteral("3276365A3235"));
        QCOMPARE(utf16_string(string_descriptor(id, string_index_first_alt + 2)),
                 QStringLiteral("@OTP Memory /0x1FFF7800/01*512 e,01*016 e"));
        QVERIFY(string_descriptor(id, string_index_first_alt + 4).isEmpty());
    }

    void sector_erase_follows_the_flash_layout_data()
    {
        QTest::addColumn<quint32>("address");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<int>("status");
        QTest::newRow("first 16K sector") << quint32(0x08000000) << "erase 0x08000000 16384" << int(status_ok);
        QTest::newRow("inside the fourth 16K") << quint32(0x0800FFFF) << "erase 0x0800C000 16384" << int(status_ok);
        QTest::newRow("the 64K sector") << quint32(0x08012345) << "erase 0x08010000 65536" << int(status_ok);
        QTest::newRow("first 128K") << quint32(0x08020000) << "erase 0x08020000 131072" << int(status_ok);
        QTest::newRow("last 128K") << quint32(0x080FFFFF) << "erase 0x080E0000 131072" << int(status_ok);
        QTest::newRow("past the end") << quint32(0x08100000) << QString() << int(err_target);
        QTest::newRow("below flash") << quint32(0x07FFFFFF) << QString() << int(err_target);
    }
    void sector_erase_follows_the_flash_layout()
    {
        QFETCH(quint32, address);
        QFETCH(QString, logged);
        QFETCH(int, status);
        fresh_device({QStringLiteral("--flash-product"), QStringLiteral("HALK"), QStringLiteral("--flash-revision"),
                      QStringLiteral("1.0"), QStringLiteral("--flash-size"), QStringLiteral("1048576")});
        const Status s = command(*dev_, erase(address));
        QCOMPARE(s.status, status);
        QCOMPARE(s.state, int(status == status_ok ? dfu_dnload_idle : dfu_error));
        if (logged.isEmpty())
            return;
        QCOMPARE(state().log().last(), logged);
        const QStringList parts = logged.split(' ');
        const int offset = int(parts[1].toUInt(nullptr, 16) - flash_base);
        const int length = parts[2].toInt();
        const QByteArray flash = state().load_memory(stm32_dfuse_bootloader({}).alts[0].region);
        QCOMPARE(flash.mid(offset, length), QByteArray(length, char(0xFF)));
        QVERIFY(flash.mid(offset + length, 16) != QByteArray(16, char(0xFF)) || offset + length == flash.size());
        QVERIFY(offset == 0 || flash.mid(offset - 16, 16) != QByteArray(16, char(0xFF)));
    }

    void write_lands_in_the_state_folder_and_needs_erased_flash()
    {
        fresh_device({QStringLiteral("--flash-file"), QStringLiteral("/dev/null")});
        const QByteArray block = QByteArray::fromHex("0102030405060708").repeated(256);
        QCOMPARE(command(*dev_, set_address(0x08004000)).state, int(dfu_dnload_idle));
        // Block 3 lies one transfer size past the address pointer.
        const Status written = download_and_settle(*dev_, 3, block);
        QCOMPARE(written.status, int(status_ok));
        QCOMPARE(written.state, int(dfu_dnload_idle));
        const MemoryRegion flash = stm32_dfuse_bootloader({}).alts[0].region;
        QCOMPARE(state().load_memory(flash).mid(0x4800, 2048), block);
        QCOMPARE(state().log().last(), QStringLiteral("write 0x08004800 2048"));

        // Programming cannot set bits that are already cleared.
        const Status again = download_and_settle(*dev_, 3, QByteArray(2048, char(0xFF)));
        QCOMPARE(again.status, int(err_prog));
        QCOMPARE(again.state, int(dfu_error));
        QCOMPARE(state().load_memory(flash).mid(0x4800, 2048), block);
    }

    void upload_reads_by_block_and_a_short_block_ends_it()
    {
        fresh_device({QStringLiteral("--otp-product"), QStringLiteral("HALK")});
        QCOMPARE(dev_->set_alt_setting(otp_alt), true);
        QCOMPARE(command(*dev_, set_address(otp_base)).state, int(dfu_dnload_idle));
        QCOMPARE(send(*dev_, dfu_abort, 0, {}).outcome, ControlResult::done);
        const ControlResult commands = receive(*dev_, dfu_upload, 0, 64);
        QCOMPARE(commands.data.toHex(), QByteArray("00214192"));
        const ControlResult first = receive(*dev_, dfu_upload, 2, 512);
        QCOMPARE(first.data.size(), 512);
        QCOMPARE(first.data.left(8).toHex(), QByteArray("114723018cffffff"));
        QCOMPARE(int(dev_->dfu_state()), int(dfu_upload_idle));
        // The OTP area holds 528 bytes: a request of 2048 gets them all and ends the upload.
        const ControlResult whole = receive(*dev_, dfu_upload, 2, 2048);
        QCOMPARE(whole.data.size(), 528);
        QCOMPARE(int(dev_->dfu_state()), int(dfu_idle));
        QCOMPARE(state().log().last(), QStringLiteral("read 0x1FFF7800 528"));
        // Past the area the request stalls.
        QCOMPARE(receive(*dev_, dfu_upload, 3, 2048).outcome, ControlResult::stalled);
    }

    void requests_out_of_state_stall_into_dfu_error()
    {
        fresh_device();
        QCOMPARE(command(*dev_, set_address(flash_base)).state, int(dfu_dnload_idle));
        QCOMPARE(receive(*dev_, dfu_upload, 2, 2048).outcome, ControlResult::stalled);
        QCOMPARE(get_status(*dev_).state, int(dfu_error));
        QCOMPARE(get_status(*dev_).status, int(err_stalledpkt));
        // Only CLRSTATUS leaves dfuERROR.
        QCOMPARE(send(*dev_, dfu_abort, 0, {}).outcome, ControlResult::stalled);
        QCOMPARE(send(*dev_, dfu_clrstatus, 0, {}).outcome, ControlResult::done);
        QCOMPARE(get_status(*dev_).state, int(dfu_idle));
        QCOMPARE(get_status(*dev_).status, int(status_ok));
        // A leave request needs an address first.
        QCOMPARE(send(*dev_, dfu_dnload, 0, {}).outcome, ControlResult::stalled);
    }

    void mass_erase_and_refused_read_unprotect()
    {
        fresh_device({QStringLiteral("--flash-product"), QStringLiteral("HALK"), QStringLiteral("--flash-revision"),
                      QStringLiteral("1.0")});
        QCOMPARE(command(*dev_, QByteArray(1, char(dfuse_erase))).status, int(status_ok));
        const MemoryRegion flash = stm32_dfuse_bootloader({}).alts[0].region;
        QCOMPARE(state().load_memory(flash), QByteArray(int(flash.size()), char(0xFF)));
        QCOMPARE(state().log().last(), QStringLiteral("mass-erase"));

        const Status refused = command(*dev_, QByteArray(1, char(dfuse_read_unprotect)));
        QCOMPARE(refused.state, int(dfu_error));
        QCOMPARE(refused.status, int(err_target));
        QCOMPARE(state().log().last(), QStringLiteral("read-unprotect refused"));
    }

    void leave_answers_manifest_then_disconnects()
    {
        fresh_device();
        int disconnects = 0;
        dev_->set_disconnect_handler([&]() { ++disconnects; });
        QCOMPARE(command(*dev_, set_address(flash_base)).state, int(dfu_dnload_idle));
        QCOMPARE(send(*dev_, dfu_dnload, 0, {}).outcome, ControlResult::done);
        QCOMPARE(get_status(*dev_).state, int(dfu_manifest));
        QCOMPARE(disconnects, 1);
        QVERIFY(!dev_->present());
        QVERIFY(!state().attached());
        QCOMPARE(state().log().last(), QStringLiteral("leave"));
        QCOMPARE(receive(*dev_, dfu_getstatus, 0, 6).outcome, ControlResult::gone);
        dev_->power_on();
        QCOMPARE(get_status(*dev_).state, int(dfu_idle));
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("block");          // written block, from the start of flash
        QTest::addColumn<int>("outcome");        // of the download request itself
        QTest::addColumn<int>("state_after");    // after the status requests; -1: device gone
        QTest::addColumn<bool>("fault_remains");
        QTest::newRow("write error at its block") << "write-error-block=2" << 2 << int(ControlResult::done)
                                                  << int(dfu_error) << true;
        QTest::newRow("write error elsewhere") << "write-error-block=2" << 1 << int(ControlResult::done)
                                               << int(dfu_dnload_idle) << true;
        QTest::newRow("vanish at its block") << "vanish-at-block=4" << 4 << int(ControlResult::gone) << -1 << false;
        QTest::newRow("vanish before its block") << "vanish-at-block=4" << 3 << int(ControlResult::done)
                                                 << int(dfu_dnload_idle) << true;
    }
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(int, block);
        QFETCH(int, outcome);
        QFETCH(int, state_after);
        QFETCH(bool, fault_remains);
        fresh_device({QStringLiteral("--fault"), fault});
        QCOMPARE(command(*dev_, set_address(flash_base + std::uint32_t(block) * 2048)).state, int(dfu_dnload_idle));
        QCOMPARE(int(send(*dev_, dfu_dnload, 2, QByteArray(2048, 'x')).outcome), outcome);
        if (state_after < 0) {
            QVERIFY(!dev_->present());
            QVERIFY(!state().attached());
        } else {
            get_status(*dev_);
            const Status s = get_status(*dev_);
            QCOMPARE(s.state, state_after);
            if (state_after == dfu_error)
                QCOMPARE(s.status, int(err_write));
        }
        QCOMPARE(!(state().faults() == Faults()), fault_remains);
    }

    void vanish_at_leave_fails_the_last_status_once()
    {
        fresh_device({QStringLiteral("--fault"), QStringLiteral("vanish-at-leave")});
        QCOMPARE(command(*dev_, set_address(flash_base)).state, int(dfu_dnload_idle));
        QCOMPARE(send(*dev_, dfu_dnload, 0, {}).outcome, ControlResult::done);
        QCOMPARE(receive(*dev_, dfu_getstatus, 0, 6).outcome, ControlResult::gone);
        QVERIFY(!state().attached());
        QVERIFY(state().faults() == Faults());
    }

    void otp_read_error_stalls_only_the_otp()
    {
        fresh_device({QStringLiteral("--fault"), QStringLiteral("otp-read-error")});
        QCOMPARE(receive(*dev_, dfu_upload, 2, 2048).data.size(), 2048); // flash still reads
        send(*dev_, dfu_abort, 0, {});
        QVERIFY(dev_->set_alt_setting(otp_alt));
        QCOMPARE(command(*dev_, set_address(otp_base)).state, int(dfu_dnload_idle));
        send(*dev_, dfu_abort, 0, {});
        QCOMPARE(receive(*dev_, dfu_upload, 2, 512).outcome, ControlResult::stalled);
    }

    void fault_texts_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("none") << QStringList{"none"} << QString() << true;
        QTest::newRow("all") << QStringList{"write-error-block=7", "vanish-at-block=0x10", "vanish-at-leave",
                                            "otp-read-error"}
                             << "write-error-block=7\nvanish-at-block=16\nvanish-at-leave\notp-read-error\n" << true;
        QTest::newRow("none clears") << QStringList{"otp-read-error", "none"} << QString() << true;
        QTest::newRow("negative block") << QStringList{"write-error-block=-1"} << QString() << false;
        QTest::newRow("not a number") << QStringList{"vanish-at-block=x"} << QString() << false;
        QTest::newRow("unknown") << QStringList{"melt"} << QString() << false;
    }
    void fault_texts()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        Faults f;
        bool all = true;
        for (QString const& o : options)
            all = apply_fault_option(f, o) && all;
        QCOMPARE(all, accepted);
        if (!accepted)
            return;
        QCOMPARE(format_faults(f), text);
        QVERIFY(parse_faults(text) == f);
    }
};

QTEST_GUILESS_MAIN(TestDfuseDevice)
#include "tst_dfuse_device.moc"
