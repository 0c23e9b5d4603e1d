// The debug-stream operators of the device records: their text without quotes, and the
// stream's quoting and spacing left as they were found.
#include "device/fw_info.h"
#include "device/otp_info.h"
#include "device/product.h"
#include "device/record_writer.h"
#include "log_capture.h"

#include <QtTest>

namespace {

enum Kind { TypeCode, Product, Otp, Firmware };
enum Mode { Plain = 0, NoSpace = 1, NoQuote = 2, NoSpaceNoQuote = 3, QuoteAgain = 4 };

const Device::ProductInfoRaw halk{0x8C, 0xFF, 0xFF, 0xFF};

Device::OTP_Info otp()
{
    return Device::make_OTP_Info(Device::write_OTP_dump(Device::write_OTP_record(halk), 0));
}

Device::FW_Info firmware()
{
    return Device::make_FW_Info(Device::write_FW_Info_block(halk, "M30", "3.2.0", {{"Build date", "2024"}}));
}

QString text_of(Kind kind)
{
    switch (kind) {
    case TypeCode: return QStringLiteral("HALK");
    case Product: return QString(Device::make_ProductInfo(halk));
    case Otp: return QString(otp());
    case Firmware: return QString(firmware());
    }
    return {};
}

// Writes "a", the record, "b" to a stream set up as `mode` says, and returns the line.
QString line(Kind kind, int mode)
{
    LogCapture capture;
    {
        QDebug stream = qDebug();
        if (mode & NoSpace)
            stream.nospace();
        if (mode & (NoQuote | QuoteAgain))
            stream.noquote();
        if (mode & QuoteAgain)
            stream.quote();
        stream << QStringLiteral("a");
        switch (kind) {
        case TypeCode: stream << Device::Halkora; break;
        case Product: stream << Device::make_ProductInfo(halk); break;
        case Otp: stream << otp(); break;
        case Firmware: stream << firmware(); break;
        }
        stream << QStringLiteral("b");
    }
    const QStringList lines = capture.lines();
    return lines.size() == 1 ? lines[0] : QStringLiteral("<%1 lines>").arg(lines.size());
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestRecordStreams : public QObject {
    Q_OBJECT

private slots:
    void stream_state_is_kept_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("pattern");

        const QList<QPair<const char*, Kind>> kinds{
            {"Type", TypeCode}, {"ProductInfo", Product}, {"OTP_Info", Otp}, {"FW_Info", Firmware}};
        for (auto const& kind : kinds) {
            QTest::addRow("%s, plain", kind.first) << kind.second << int(Plain) << "\"a\" %1 \"b\"";
            QTest::addRow("%s, nospace", kind.first) << kind.second << int(NoSpace) << "\"a\"%1\"b\"";
            QTest::addRow("%s, noquote", kind.first) << kind.second << int(NoQuote) << "a %1 b";
            QTest::addRow("%s, nospace noquote", kind.first) << kind.second << int(NoSpaceNoQuote) << "a%1b";
            QTest::addRow("%s, noquote then quote", kind.first) << kind.second << int(QuoteAgain)
                                                                << "\"a\" %1 \"b\"";
        }
    }

    void stream_state_is_kept()
    {
        QFETCH(Kind, kind);
        QFETCH(int, mode);
        QFETCH(QString, pattern);
        QCOMPARE(line(kind, mode), pattern.arg(text_of(kind)));
    }
};

QTEST_GUILESS_MAIN(TestRecordStreams)
#include "test_record_streams.moc"
