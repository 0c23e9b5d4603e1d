// The product catalogue and the lookups, classifications and texts built on it.
#include "device/product.h"

namespace Device {

const Products products = {
    {Invalid, "invalid", "Invalid", "N/A", "N/A"},
    {Undefined, "undefined", "Undefined", "?", "?"},
    {Korvath, "KORV", "Korvath", "Tor-20", "Tor-20 SkyLnk"},
    {Selvo, "SELV", "Selvo", "K4", "K4 SkyLnk"},
    {K4i, "K4I", "K4i", "K4 Industrial", "K4 Industrial"},
    {Durna, "DURN", "Durna", "R7Z", "Vantrel R7Z"},
    {Fino, "FINO", "Fino", "FINO", "Vantrel FINO"},
    {Halkora, "HALK", "Halkora", "M30", "Vantrel M30 Plus<br>Vantrel M30"},
    {Unknown, "unknown", "Unknown", "unknown", "unknown"},
};

Products::const_iterator Products::find(Type type) const
{
    for (auto it = begin(); it != end(); ++it)
        if (it->type == type)
            return it;
    return end();
}

Products::const_iterator Products::find(unsigned char code) const
{
    return find(static_cast<Type>(code));
}

Products::const_iterator Products::find(QString const& tag) const
{
    for (auto it = begin(); it != end(); ++it)
        if (it->tag == tag)
            return it;
    return end();
}

bool is_valid(Type type)
{
    return type != Invalid && type != Undefined;
}

bool is_known(Type type)
{
    return type != Invalid && type != Unknown && type != Undefined;
}

Type to_Type(unsigned char code)
{
    return products.find(code) != products.end() ? static_cast<Type>(code) : Unknown;
}

Type to_Type(QString const& tag)
{
    if (tag.isEmpty())
        return Invalid;
    auto it = products.find(tag);
    return it != products.end() ? it->type : Unknown;
}

QString to_QString(Type type)
{
    auto it = products.find(type);
    return it != products.end() ? it->tag : QStringLiteral("impossible type");
}

std::string to_string(Type type)
{
    return to_QString(type).toStdString();
}

std::ostream& operator<<(std::ostream& os, Type type)
{
    return os << to_string(type);
}

QDebug operator<<(QDebug dbg, Type type)
{
    QDebugStateSaver saver(dbg);
    dbg.noquote() << to_QString(type);
    return dbg;
}

ProductInfo make_ProductInfo(ProductInfoRaw raw)
{
    ProductInfo info;
    info.type = to_Type(raw.type);
    info.ext1 = raw.ext1;
    info.ext2 = raw.ext2;
    info.ext3 = raw.ext3;
    info.raw_type = raw.type;
    return info;
}

bool operator==(ProductInfo const& a, ProductInfo const& b)
{
    return a.type == b.type && a.ext1 == b.ext1 && a.ext2 == b.ext2 && a.ext3 == b.ext3;
}

ProductInfo::operator QString() const
{
    QString text = QStringLiteral("ProductInfo: %1 (%2)").arg(to_QString(type)).arg(int(type));
    if (type == Unknown || ext1 != 0xFF || ext2 != 0xFF || ext3 != 0xFF) {
        auto hex = [](int v) { return QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')); };
        text += QStringLiteral(" [%1 %2 %3 %4]").arg(hex(raw_type), hex(ext1), hex(ext2), hex(ext3));
    }
    return text;
}

QString ProductInfo::product_name() const
{
    auto it = products.find(type);
    return it != products.end() ? it->product_name : QString();
}

QString ProductInfo::product_name_full() const
{
    auto it = products.find(type);
    return it != products.end() ? it->product_name_full : QString();
}

QDebug operator<<(QDebug dbg, ProductInfo const& info)
{
    QDebugStateSaver saver(dbg);
    dbg.noquote() << QString(info);
    return dbg;
}

} // namespace Device
