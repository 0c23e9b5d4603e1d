// Build-time tool: writes firmware images and OTP dumps in the layouts the tool decodes.
//
//   make_firmware image --product TAG|CODE --name N --revision R [--detail KEY=VALUE]...
//                       [--size BYTES] [--seed N] --out FILE
//   make_firmware otp (--product TAG|CODE | --product-of IMAGE | --blank) [--slot N] --out FILE
//   make_firmware variant --from IMAGE [--revision R | --older-revision]
//                         [--product TAG|CODE | --other-product] [--name N] [--seed N] --out FILE
//
// `variant` reads the info block of an existing image and writes an image of the same
// size whose block keeps that image's identification, name and details except for what
// the options change: so images for the simulated device can be derived from whatever
// image the build carries, also one given as raw bytes.
#include "device/fw_info.h"
#include "device/product.h"
#include "device/record_writer.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
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

Device::ProductInfoRaw raw_of(Device::ProductInfo const& info)
{
    Device::ProductInfoRaw raw;
    raw.type = std::uint8_t(info.raw_type);
    raw.ext1 = info.ext1;
    raw.ext2 = info.ext2;
    raw.ext3 = info.ext3;
    return raw;
}

// The first product of the catalogue that is not `type`.
std::uint8_t other_product_than(std::uint8_t type)
{
    for (auto const& entry : Device::products)
        if (Device::is_known(entry.type) && entry.type != type)
            return entry.type;
    return type;
}

// A revision text that sorts before `revision`: its last non-zero number one lower
// ("3.2.0" gives "3.1.0"); a revision without one gets a suffix. Always differs from it.
QString older_revision(QString const& revision)
{
    static const QRegularExpression number(QStringLiteral("[0-9]+"));
    int start = -1, length = 0;
    auto matches = number.globalMatch(revision);
    while (matches.hasNext()) {
        const auto match = matches.next();
        if (match.captured().toULongLong() > 0) {
            start = match.capturedStart();
            length = match.capturedLength();
        }
    }
    QString older;
    if (start >= 0) {
        const qulonglong value = revision.mid(start, length).toULongLong() - 1;
        older = revision.left(start) + QString::number(value) + revision.mid(start + length);
    } else {
        older = revision + QStringLiteral("-previous");
    }
    // The field holds 31 bytes; a suffix cut off there would leave the text unchanged.
    if (Device::write_string_field(older) == Device::write_string_field(revision))
        older = QStringLiteral("previous");
    return older;
}

QByteArray read_file(QString const& path, bool& ok)
{
    QFile file(path);
    ok = file.open(QIODevice::ReadOnly);
    return ok ? file.readAll() : QByteArray();
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
        return fail("usage: make_firmware image|otp|variant OPTIONS");
    const QString mode = args.takeFirst();

    Device::ProductInfoRaw product;
    bool have_product = false, blank = false, have_name = false, have_revision = false, have_seed = false;
    bool older = false, other_product = false;
    QString name, revision, out, product_of, from;
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
        } else if (opt == "--product-of") {
            product_of = value();
        } else if (opt == "--other-product") {
            other_product = true;
        } else if (opt == "--from") {
            from = value();
        } else if (opt == "--blank") {
            blank = true;
        } else if (opt == "--name") {
            name = value();
            have_name = true;
        } else if (opt == "--revision") {
            revision = value();
            have_revision = true;
        } else if (opt == "--older-revision") {
            older = true;
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
            have_seed = true;
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

    // The info block of an existing image, for --product-of and --from.
    auto block_of = [](QString const& path, Device::FW_Info& info) -> QString {
        bool ok = false;
        const QByteArray image = read_file(path, ok);
        if (!ok)
            return "cannot read " + path;
        info = Device::make_FW_Info(image);
        if (!info.valid)
            return "no firmware info block in " + path;
        return QString();
    };

    QByteArray bytes;
    if (mode == "image") {
        if (!have_product)
            return fail("--product is required");
        const QByteArray block = Device::write_FW_Info_block(product, name, revision, details);
        bytes = Device::write_firmware_image(block, size, 0x200, seed);
    } else if (mode == "otp") {
        if (!product_of.isEmpty()) {
            Device::FW_Info info;
            const QString error = block_of(product_of, info);
            if (!error.isEmpty())
                return fail(error);
            product = raw_of(info.product);
            have_product = true;
        }
        if (!have_product && !blank)
            return fail("--product, --product-of or --blank is required");
        bytes = blank ? Device::write_OTP_dump() : Device::write_OTP_dump(Device::write_OTP_record(product), slot);
    } else if (mode == "variant") {
        if (from.isEmpty())
            return fail("--from is required");
        Device::FW_Info info;
        const QString error = block_of(from, info);
        if (!error.isEmpty())
            return fail(error);
        bool ok = false;
        const int from_size = read_file(from, ok).size();
        Device::ProductInfoRaw variant_product = raw_of(info.product);
        if (other_product)
            variant_product.type = other_product_than(variant_product.type);
        else if (have_product)
            variant_product = product;
        const QString variant_revision = older ? older_revision(info.revision)
                                         : have_revision ? revision
                                                         : info.revision;
        // An image for another product is named after that product, not after the source.
        QString variant_name = have_name ? name : info.name;
        if (other_product && !have_name)
            variant_name =
                Device::make_ProductInfo(variant_product).product_name() + QStringLiteral(" main controller");
        const QByteArray block =
            Device::write_FW_Info_block(variant_product, variant_name, variant_revision, info.details);
        bytes = Device::write_firmware_image(block, size > 0 ? size : from_size, 0x200, have_seed ? seed : 3);
    } else {
        return fail("unknown mode: " + mode);
    }
    if (!write_file(out, bytes))
        return fail("cannot write " + out);
    return 0;
}
