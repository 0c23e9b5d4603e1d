// The set-up options: OTP record, flash image, serial, attachment, re-attachment, faults.
#include "scenario_setup.h"

#include "usb_identity.h"

#include "device/product.h"
#include "device/record_writer.h"

#include <QDir>
#include <QFile>

namespace Emulator {

const char scenario_setup_usage[] =
    "  --reset                    a factory-fresh device: erased flash and OTP, default serial,\n"
    "                             attached, no faults, empty log\n"
    "  --serial TEXT              the serial number string (12 hexadecimal characters on real parts)\n"
    "  --otp-product TAG|CODE     an OTP record of this product in slot 0 (a code the catalogue\n"
    "                             lacks, such as 7, makes an unknown product)\n"
    "  --otp-blank                erased OTP\n"
    "  --otp-file FILE            OTP contents from a file (512 or 528 bytes)\n"
    "  --flash-file FILE          flash from 0x08000000 holds this image, the rest is erased\n"
    "  --flash-product TAG|CODE   flash holds an image with an info block for this product,\n"
    "     --flash-revision REV    this revision,\n"
    "     [--flash-name NAME]     this name\n"
    "     [--flash-size BYTES]    and this size (default 49152)\n"
    "  --flash-erased             erased flash\n"
    "  --attached yes|no          plug the device in or pull it out\n"
    "  --reattach-after-ms N      after leaving DFU mode or vanishing the device comes back\n"
    "                             after N ms (-1: it stays away)\n"
    "  --reattach-flash FILE      and then holds this image at 0x08000000\n"
    "  --fault SPEC               write-error-block=K, vanish-at-block=K (K: 2048-byte block\n"
    "                             from the start of flash), vanish-at-leave, otp-read-error,\n"
    "                             none (clears all faults); may be repeated\n"
    "  --second-device yes|no     a DFU device of another vendor attached as well\n"
    "  --clear-log                empty the device's log\n";

namespace {

constexpr int default_image_size = 49152;

bool parse_product(QString const& text, Device::ProductInfoRaw* raw)
{
    bool ok = false;
    const uint code = text.toUInt(&ok, 0);
    if (ok && code <= 255) {
        raw->type = std::uint8_t(code);
        return true;
    }
    auto it = Device::products.find(text);
    if (it == Device::products.end())
        return false;
    raw->type = it->type;
    return true;
}

bool read_file(QString const& path, QByteArray* bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *bytes = f.readAll();
    return true;
}

bool parse_yes_no(QString const& text, bool* value)
{
    if (text != QLatin1String("yes") && text != QLatin1String("no"))
        return false;
    *value = text == QLatin1String("yes");
    return true;
}

MemoryRegion region_of_alt(int alt)
{
    return stm32_dfuse_bootloader(QString()).alts[size_t(alt)].region;
}

QByteArray erased(MemoryRegion const& region)
{
    return QByteArray(int(region.size()), char(region.fill));
}

} // namespace

bool apply_scenario_setup(StateFolder const& state, QStringList const& options, QString* error)
{
    if (!state.ensure_created()) {
        *error = QStringLiteral("cannot create ") + state.path();
        return false;
    }
    const MemoryRegion flash = region_of_alt(flash_alt);
    const MemoryRegion otp = region_of_alt(otp_alt);
    Device::ProductInfoRaw image_product;
    bool have_image_product = false;
    QString image_name = QStringLiteral("emulated firmware"), image_revision;
    int image_size = default_image_size;

    for (int i = 0; i < options.size(); ++i) {
        const QString opt = options[i];
        const bool has_value = i + 1 < options.size();
        auto value = [&]() { return has_value ? options[++i] : QString(); };
        auto fail = [&](QString const& why) {
            *error = opt + QStringLiteral(": ") + why;
            return false;
        };
        static const QStringList flags = {QStringLiteral("--reset"), QStringLiteral("--otp-blank"),
                                          QStringLiteral("--flash-erased"), QStringLiteral("--clear-log")};
        if (!flags.contains(opt) && !has_value)
            return fail(QStringLiteral("needs a value"));

        if (opt == QLatin1String("--reset")) {
            QDir dir(state.path());
            for (QString const& name : dir.entryList(QDir::Files))
                dir.remove(name);
            state.set_serial(QString::fromLatin1(default_serial));
            state.set_attached(true);
        } else if (opt == QLatin1String("--serial")) {
            state.set_serial(value());
        } else if (opt == QLatin1String("--otp-product")) {
            Device::ProductInfoRaw raw;
            if (!parse_product(value(), &raw))
                return fail(QStringLiteral("unknown product ") + options[i]);
            QByteArray dump = Device::write_OTP_dump(Device::write_OTP_record(raw));
            state.store_memory(otp, dump + QByteArray(int(otp.size()) - dump.size(), char(otp.fill)));
        } else if (opt == QLatin1String("--otp-blank")) {
            state.store_memory(otp, erased(otp));
        } else if (opt == QLatin1String("--otp-file")) {
            QByteArray bytes;
            if (!read_file(value(), &bytes) || bytes.size() > int(otp.size()))
                return fail(QStringLiteral("cannot read, or larger than the OTP area: ") + options[i]);
            state.store_memory(otp, erased(otp).replace(0, bytes.size(), bytes));
        } else if (opt == QLatin1String("--flash-file")) {
            QByteArray bytes;
            if (!read_file(value(), &bytes) || bytes.size() > int(flash.size()))
                return fail(QStringLiteral("cannot read, or larger than flash: ") + options[i]);
            state.store_memory(flash, erased(flash).replace(0, bytes.size(), bytes));
        } else if (opt == QLatin1String("--flash-product")) {
            if (!parse_product(value(), &image_product))
                return fail(QStringLiteral("unknown product ") + options[i]);
            have_image_product = true;
        } else if (opt == QLatin1String("--flash-revision")) {
            image_revision = value();
        } else if (opt == QLatin1String("--flash-name")) {
            image_name = value();
        } else if (opt == QLatin1String("--flash-size")) {
            bool ok = false;
            image_size = value().toInt(&ok);
            if (!ok || image_size <= 0 || image_size > int(flash.size()))
                return fail(QStringLiteral("not a size that fits in flash"));
        } else if (opt == QLatin1String("--flash-erased")) {
            state.store_memory(flash, erased(flash));
        } else if (opt == QLatin1String("--attached")) {
            bool yes = false;
            if (!parse_yes_no(value(), &yes))
                return fail(QStringLiteral("yes or no"));
            state.set_attached(yes);
        } else if (opt == QLatin1String("--reattach-after-ms")) {
            bool ok = false;
            const int ms = value().toInt(&ok);
            if (!ok)
                return fail(QStringLiteral("not a number"));
            state.set_reattach_after_ms(ms);
        } else if (opt == QLatin1String("--reattach-flash")) {
            QByteArray bytes;
            if (!read_file(value(), &bytes) || bytes.isEmpty() || bytes.size() > int(flash.size()))
                return fail(QStringLiteral("cannot read, empty or larger than flash: ") + options[i]);
            state.set_reattach_flash(bytes);
        } else if (opt == QLatin1String("--fault")) {
            Faults faults = state.faults();
            if (!apply_fault_option(faults, value()))
                return fail(QStringLiteral("unknown fault ") + options[i]);
            state.set_faults(faults);
        } else if (opt == QLatin1String("--second-device")) {
            bool yes = false;
            if (!parse_yes_no(value(), &yes))
                return fail(QStringLiteral("yes or no"));
            state.set_second_device(yes);
        } else if (opt == QLatin1String("--clear-log")) {
            QFile::remove(state.path() + QStringLiteral("/log"));
        } else {
            return fail(QStringLiteral("unknown option"));
        }
    }
    if (have_image_product) {
        const QByteArray block = Device::write_FW_Info_block(image_product, image_name, image_revision, {});
        const QByteArray image = Device::write_firmware_image(block, image_size);
        state.store_memory(flash, erased(flash).replace(0, image.size(), image));
    }
    return true;
}

} // namespace Emulator
