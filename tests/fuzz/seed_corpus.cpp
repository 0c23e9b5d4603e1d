// The seed inputs made in code for every fuzz target: written records, listings and settings texts.
#include "tests/fuzz/seed_corpus.h"

#include "device/fw_info.h"
#include "device/otp_info.h"
#include "device/record_writer.h"

#include <QStringList>

namespace FuzzChecks {

namespace {

using Device::write_at;
using Device::write_le32;

// The device reads this many bytes from the start of its flash for the info block.
constexpr int flash_head_size = 2048;

Device::ProductInfoRaw product(quint8 code)
{
    return Device::ProductInfoRaw{code, 0xFF, 0xFF, 0xFF};
}

QByteArray record(quint8 code)
{
    return Device::write_OTP_record(product(code));
}

QList<Seed> otp_seeds()
{
    const QByteArray halk = Device::write_OTP_dump(record(Device::Halkora));
    const QByteArray payload("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    return {
        {"empty", QByteArray()},
        {"blank", Device::write_OTP_dump()},
        {"halk_slot0", halk},
        {"korv_slot3", Device::write_OTP_dump(record(Device::Korvath), 3)},
        {"last_slot", Device::write_OTP_dump(record(Device::Fino), 31)},
        {"two_records", write_at(halk, 16, record(Device::Selvo))},
        {"unlisted_code", Device::write_OTP_dump(record(7))},
        {"erased_code", Device::write_OTP_dump(record(0xFF))},
        {"zero_code", Device::write_OTP_dump(record(0))},
        {"ext_and_payload",
         Device::write_OTP_dump(Device::write_OTP_record(Device::ProductInfoRaw{Device::Durna, 1, 2, 3}, payload))},
        {"misaligned_last_marker", write_at(halk, 40, write_le32(Device::otp_marker))},
        {"record_beyond_area", write_at(halk, 512, record(Device::K4i), char(0xFF))},
        {"lone_record", record(Device::Halkora)},
        {"record_cut_short", record(Device::Halkora).left(10)},
        {"one_byte_programmed", write_at(Device::write_OTP_dump(), 100, QByteArray(1, '\0'))},
    };
}

QList<QPair<QString, QString>> pairs(int count)
{
    QList<QPair<QString, QString>> list;
    for (int i = 0; i < count; ++i)
        list.append(qMakePair(QStringLiteral("Key %1").arg(i), QStringLiteral("Value %1").arg(i)));
    return list;
}

QByteArray block(int pair_count, QString const& name = QStringLiteral("M30 main controller"))
{
    return Device::write_FW_Info_block(product(Device::Halkora), name, QStringLiteral("3.2.0"), pairs(pair_count));
}

QList<Seed> fw_seeds(QByteArray const& carried_image)
{
    const int end_of_empty_block = Device::fw_info_header_size;
    QList<QPair<QString, QString>> gap = pairs(3);
    gap[1].first.clear();
    QList<Seed> seeds{
        {"block_no_pairs", block(0)},
        {"block_three_pairs", block(3)},
        {"block_most_pairs", block(29)},
        {"block_at_last_offset",
         write_at(QByteArray(), Device::fw_info_max_marker_offset - end_of_empty_block, block(0))},
        {"image", Device::write_firmware_image(block(2), flash_head_size)},
        {"empty_second_key",
         Device::write_FW_Info_block(product(Device::Fino), QStringLiteral("FINO"), QStringLiteral("1.0"), gap)},
        {"name_without_nul", write_at(block(1), 8, QByteArray(Device::fw_info_string_field_size, 'N'))},
        {"name_cut_in_a_character", block(1, QString(20, QChar(0x00E9)))},
        {"end_marker_in_name", write_at(block(1), 12, write_le32(Device::fw_info_end_marker))},
        {"odd_pair_bytes", write_at(block(0), 100, write_le32(Device::fw_info_end_marker))},
        {"end_before_begin", write_le32(Device::fw_info_end_marker) + block(0).left(end_of_empty_block)},
        {"block_cut_short", block(2).left(100)},
        {"unlisted_product",
         Device::write_FW_Info_block(Device::ProductInfoRaw{7, 0, 1, 2}, QString(), QString(), pairs(1))},
    };
    if (!carried_image.isEmpty())
        seeds.append({"carried_image_head", carried_image.left(flash_head_size)});
    return seeds;
}

// One line of `dfu-util -l` as dfu-util 0.11 prints it.
QString listing_line(QString const& serial, int alt, QString const& id = QStringLiteral("[0483:df11] ver=2200"),
                     QString const& kind = QStringLiteral("DFU"))
{
    return QStringLiteral("Found %1: %2, devnum=5, cfg=1, intf=0, path=\"1-1\", alt=%3, name=\"@Alt %3\", serial=\"%4\"")
        .arg(kind, id)
        .arg(alt)
        .arg(serial);
}

QString device_lines(QString const& serial, int count = 4)
{
    QStringList lines;
    for (int alt = count - 1; alt >= 0; --alt)
        lines << listing_line(serial, alt);
    return lines.join(QLatin1Char('\n'));
}

QList<Seed> listing_seeds()
{
    const QString banner = QStringLiteral("dfu-util 0.11\n\nThis program is Free Software and has ABSOLUTELY NO WARRANTY\n");
    const QString a = QStringLiteral("3276365A3235");
    const QString b = QStringLiteral("3276365d3133");
    const QString other = listing_line(a, 0, QStringLiteral("[0483:df11] ver=2100")) + QLatin1Char('\n')
        + listing_line(a, 0, QStringLiteral("[1209:0001] ver=0100")) + QLatin1Char('\n')
        + listing_line(a, 0, QStringLiteral("[0483:df11] ver=2200"), QStringLiteral("Runtime")) + QLatin1Char('\n')
        + QStringLiteral("  ") + listing_line(a, 0) + QLatin1Char('\n');
    const QList<QPair<QString, QString>> texts{
        {"banner_only", banner},
        {"one_device", banner + device_lines(a) + QLatin1Char('\n')},
        {"two_devices", banner + device_lines(a) + QLatin1Char('\n') + device_lines(b) + QLatin1Char('\n')},
        {"three_lines", banner + device_lines(a, 3)},
        {"eight_lines_one_serial", banner + device_lines(a, 8)},
        {"serials_a_a_b_a", listing_line(a, 3) + QLatin1Char('\n') + listing_line(a, 2) + QLatin1Char('\n')
                                + listing_line(b, 1) + QLatin1Char('\n') + listing_line(a, 0)},
        {"line_without_serial", device_lines(a) + QStringLiteral("\nFound DFU: [0483:df11] ver=2200, alt=0\n")},
        {"unknown_serial", device_lines(QStringLiteral("UNKNOWN"))},
        {"other_devices_and_one", other + device_lines(a)},
        {"carriage_returns", device_lines(a).replace(QLatin1Char('\n'), QStringLiteral("\r\n"))},
    };
    QList<Seed> seeds;
    for (auto const& text : texts)
        seeds.append({text.first, text.second.toUtf8()});
    return seeds;
}

QList<Seed> settings_seeds()
{
    QByteArray deep;
    for (int i = 0; i < 200; ++i)
        deep.append('[');
    deep.append(QByteArray(200, ']'));
    return {
        {"empty_object", "{}"},
        {"raw_line_feeds",
         "{\n\t\"labels\": [\n\t\t{\"id\": \"5\", \"position\": {\"x\": 37, \"y\": 300},\n"
         "\t\t \"text\": \"Follow the steps below\nto upgrade your product.\"}\n\t]\n}\n"},
        {"raw_controls", QByteArray("{\"labels\": [{\"id\": \"c\", \"text\": \"tab\there\rcr\x01\x1f\x7f nul:")
                             + QByteArray(1, '\0') + QByteArray("end\"}]}")},
        {"escapes", "{\"labels\": [{\"id\": \"e\", \"text\": \"a\\nb \\\"q\\\" \\u0041 \\u0000 \\\\\"}]}"},
        {"wrong_types",
         "{\"labels\": [{\"id\": 5, \"position\": {\"x\": \"a\"}, \"size\": 12.5, \"font\": [], \"create\": 0, "
         "\"white\": null, \"text\": 5}],\n \"circles\": [{\"name\": 1, \"center\": [1, 2], \"radius\": 1e10, "
         "\"pen_width\": -2147483649, \"color\": \"#00000000\"}]}"},
        {"elements_not_objects", "{\"labels\": [1, \"x\", null, [], true], \"circles\": {\"a\": 1}}"},
        {"duplicate_ids", "{\"labels\": [{\"id\": \"d\", \"text\": \"first\"}, {\"id\": \"d\", \"text\": \"second\"}]}"},
        {"circle", "{\"circles\": [{\"name\": \"Settings-button\", \"center\": {\"x\": 370, \"y\": 233}, "
                   "\"radius\": 25, \"pen_width\": 25, \"color\": \"#80ff0000\"}]}"},
        {"backslash_then_raw_line_feed", "{\"labels\": [{\"id\": \"b\", \"text\": \"a\\\nb\"}]}"},
        {"unterminated_string", "{\"labels\": [{\"id\": \"u\", \"text\": \"never ends\n"},
        {"top_level_array", "[{\"labels\": []}]"},
        {"deep_nesting", "{\"labels\": " + deep + "}"},
        {"multibyte_text", "{\"labels\": [{\"id\": \"\xc3\xa9\", \"text\": \"\xe2\x82\xac \xf0\x9f\x94\x8c\"}]}"},
    };
}

} // namespace

QList<Seed> generated_seeds(QString const& target, QByteArray const& carried_image)
{
    if (target == QLatin1String("otp_info"))
        return otp_seeds();
    if (target == QLatin1String("fw_info"))
        return fw_seeds(carried_image);
    if (target == QLatin1String("dfu_listing"))
        return listing_seeds();
    if (target == QLatin1String("gui_settings"))
        return settings_seeds();
    return {};
}

} // namespace FuzzChecks
