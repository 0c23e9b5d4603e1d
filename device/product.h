// Product type codes, the product catalogue and the decoded product identification.
#pragma once

#include <QDebug>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace Device {

enum Type : std::uint8_t {
    Invalid = 0,
    Korvath = 3,
    K4i = 11,
    Fino = 30,
    Selvo = 43,
    Durna = 132,
    Halkora = 140,
    Unknown = 254,
    Undefined = 255,
};

struct ProductEntry {
    Type type;
    QString tag;
    QString code_name;
    QString product_name;
    QString product_name_full;
};

class Products : public std::vector<ProductEntry> {
public:
    using std::vector<ProductEntry>::vector;
    const_iterator find(Type type) const;
    const_iterator find(unsigned char code) const;
    const_iterator find(QString const& tag) const;
};

extern const Products products;

bool is_valid(Type type);
bool is_known(Type type);
Type to_Type(unsigned char code);
Type to_Type(QString const& tag);
QString to_QString(Type type);
std::string to_string(Type type);
std::ostream& operator<<(std::ostream& os, Type type);
QDebug operator<<(QDebug dbg, Type type);

// The four identification bytes as stored in an OTP record or an info block.
struct ProductInfoRaw {
    std::uint8_t type = 0;
    std::uint8_t ext1 = 0xFF;
    std::uint8_t ext2 = 0xFF;
    std::uint8_t ext3 = 0xFF;
};

struct ProductInfo {
    Type type = Invalid;
    std::uint8_t ext1 = 0xFF;
    std::uint8_t ext2 = 0xFF;
    std::uint8_t ext3 = 0xFF;
    std::int32_t raw_type = 0;

    operator QString() const;
    QString product_name() const;
    QString product_name_full() const;
};

ProductInfo make_ProductInfo(ProductInfoRaw raw);
bool operator==(ProductInfo const& a, ProductInfo const& b);
inline bool operator!=(ProductInfo const& a, ProductInfo const& b) { return !(a == b); }
QDebug operator<<(QDebug dbg, ProductInfo const& info);

} // namespace Device
