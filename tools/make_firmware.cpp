// Build-time tool: writes firmware images and OTP dumps in the layouts the tool decodes.
//
//   make_firmware image --product TAG|CODE --name N --revision R [--detail KEY=VALUE]...
//                       [--size BYTES] [--seed N] --out FILE
//   make_firmware otp (--product TAG|CODE | --blank) [--slot N] --out FILE
#include "device/product.h"
#include "device/record_writer.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

int fail(QString const& message)
{
    std::fprintf(stderr, "make_firmware: %s\n", qPrintable(message));
    return 2;
}

// A catalogue tag, or a type byte in decimal or 0x-hex (so unlisted codes can be written too).
bool parse_product(QString const& text, Device::ProductInfoRaw& raw)
{
    bool ok = false;
    const uint code = text.toUInt(&ok, 0);
    if (ok && code <= 255) {
        raw.type = std::uint8_t(code);
        return true;
    }
    auto it = Device::products.find(text);
    if (it == Device::products.end())
        return false;
    raw.type = it->type;
    return true;
}

bool write_file(QString const& path, QByteArray const& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return fail("usage: make_firmware image|otp OPTIONS");
    const QString mode = args.takeFirst();

    Device::ProductInfoRaw product;
    bool have_product = false, blank = false;
    QString name, revision, out;
    QList<QPair<QString, QString>> details;
    int size = 0, slot = 0;
    quint32 seed = 1;
    for (int i = 0; i < args.size(); ++i) {
        const QString opt = args[i];
        auto value = [&]() { return i + 1 < args.size() ? args[++i] : QString(); };
        if (opt == "--product") {
            const QString v = value();
            if (!parse_product(v, product))
                return fail("unknown product: " + v);
            have_product = true;
        } else if (opt == "--blank") {
            blank = true;
        } else if (opt == "--name") {
            name = value();
        } else if (opt == "--revision") {
            revision = value();
        } else if (opt == "--detail") {
            const QString v = value();
            const int eq = v.indexOf('=');
            if (eq <= 0)
                return fail("a detail is KEY=VALUE: " + v);
            details.append(qMakePair(v.left(eq), v.mid(eq + 1)));
        } else if (opt == "--size") {
            size = value().toInt();
        } else if (opt == "--seed") {
            seed = value().toUInt();
        } else if (opt == "--slot") {
            slot = value().toInt();
        } else if (opt == "--out") {
            out = value();
        } else {
            return fail("unknown option: " + opt);
        }
    }
    if (out.isEmpty())
        return fail("--out is required");

    QByteArray bytes;
    if (mode == "image") {
        if (!have_product)
            return fail("--product is required");
        const QByteArray block = Device::write_FW_Info_block(product, name, revision, details);
        bytes = Device::write_firmware_image(block, size, 0x200, seed);
    } else if (mode == "otp") {
        if (!have_product && !blank)
            return fail("--product or --blank is required");
        bytes = blank ? Device::write_OTP_dump() : Device::write_OTP_dump(Device::write_OTP_record(product), slot);
    } else {
        return fail("unknown mode: " + mode);
    }
    if (!write_file(out, bytes))
        return fail("cannot write " + out);
    return 0;
}
