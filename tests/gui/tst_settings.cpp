// Tests of the GUI settings: the lenient reader, the record factories, lookups and text forms.
#include "gui/json_reader.h"
#include "gui/settings.h"
#include "message_capture.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

QJsonObject object_of(QByteArray const& json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(resources); }

    void escape_raw_control_characters_data();
    void escape_raw_control_characters();
    void label_factory_data();
    void label_factory();
    void circle_factory_data();
    void circle_factory();
    void document_shapes_data();
    void document_shapes();
    void raw_line_feeds_and_tabs_are_kept();
    void first_of_duplicate_ids_wins();
    void missing_id_warns_and_gives_empty_text();
    void label_text_form_data();
    void label_text_form();
    void circle_and_gui_text_forms();
    void shipped_file();
};

void TestSettings::escape_raw_control_characters_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("line feed in string") << QByteArray("{\"t\": \"a\nb\"}") << QByteArray("{\"t\": \"a\\nb\"}");
    QTest::newRow("tab and CR in string") << QByteArray("[\"a\tb\rc\"]") << QByteArray("[\"a\\tb\\rc\"]");
    QTest::newRow("other control char") << QByteArray("[\"a\x01z\"]") << QByteArray("[\"a\\u0001z\"]");
    QTest::newRow("whitespace outside strings untouched")
        << QByteArray("{\n\t\"t\":\r\n 1\n}") << QByteArray("{\n\t\"t\":\r\n 1\n}");
    QTest::newRow("escaped quote keeps string open")
        << QByteArray("[\"a\\\"\nb\"]") << QByteArray("[\"a\\\"\\nb\"]");
    QTest::newRow("escaped backslash closes string")
        << QByteArray("[\"a\\\\\"\n,\"c\"]") << QByteArray("[\"a\\\\\"\n,\"c\"]");
    QTest::newRow("UTF-8 bytes untouched")
        << QByteArray("[\"\xc3\xa9\n\"]") << QByteArray("[\"\xc3\xa9\\n\"]");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestSettings::escape_raw_control_characters()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(Settings::escape_raw_control_characters(input), expected);
}

void TestSettings::label_factory_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("font");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("create");
    QTest::addColumn<bool>("white");

    const QPoint none(-1, -1);
    QTest::newRow("id and text only: defaults")
        << QByteArray(R"({"id":"a","text":"T"})") << "a" << none << -1 << "" << "T" << true << true;
    QTest::newRow("empty object") << QByteArray("{}") << "" << none << -1 << "" << "" << true << true;
    QTest::newRow("all keys") << QByteArray(R"({"id":"b","position":{"x":3,"y":4},"size":14,"font":"Serif",
                                               "create":false,"white":false,"text":"t"})")
                              << "b" << QPoint(3, 4) << 14 << "Serif" << "t" << false << false;
    QTest::newRow("position with only x") << QByteArray(R"({"position":{"x":5}})") << "" << QPoint(5, -1) << -1
                                          << "" << "" << true << true;
    QTest::newRow("position not an object") << QByteArray(R"({"position":7})") << "" << none << -1 << "" << ""
                                            << true << true;
    QTest::newRow("position coordinate a string")
        << QByteArray(R"({"position":{"x":"5","y":6}})") << "" << QPoint(0, 6) << -1 << "" << "" << true << true;
    QTest::newRow("size fraction") << QByteArray(R"({"size":12.5})") << "" << none << 0 << "" << "" << true << true;
    QTest::newRow("size string") << QByteArray(R"({"size":"12"})") << "" << none << 0 << "" << "" << true << true;
    QTest::newRow("size beyond int") << QByteArray(R"({"size":3000000000})") << "" << none << 0 << "" << ""
                                     << true << true;
    QTest::newRow("size null") << QByteArray(R"({"size":null})") << "" << none << 0 << "" << "" << true << true;
    QTest::newRow("size negative whole") << QByteArray(R"({"size":-3})") << "" << none << -3 << "" << "" << true
                                         << true;
    QTest::newRow("create 0") << QByteArray(R"({"create":0})") << "" << none << -1 << "" << "" << false << true;
    QTest::newRow("create string") << QByteArray(R"({"create":"true"})") << "" << none << -1 << "" << "" << false
                                   << true;
    QTest::newRow("white true") << QByteArray(R"({"white":true})") << "" << none << -1 << "" << "" << true << true;
    QTest::newRow("text number") << QByteArray(R"({"text":5})") << "" << none << -1 << "" << "" << true << true;
    QTest::newRow("id number") << QByteArray(R"({"id":2})") << "" << none << -1 << "" << "" << true << true;
    QTest::newRow("font bool") << QByteArray(R"({"font":true})") << "" << none << -1 << "" << "" << true << true;
}

void TestSettings::label_factory()
{
    QFETCH(QByteArray, json);
    const Settings::LabelData label = Settings::LabelData_factory(object_of(json));
    QTEST(label.id, "id");
    QTEST(label.position, "position");
    QTEST(label.size, "size");
    QTEST(label.font, "font");
    QTEST(label.text, "text");
    QTEST(label.create, "create");
    QTEST(label.white, "white");
}

void TestSettings::circle_factory_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("center");
    QTest::addColumn<int>("radius");
    QTest::addColumn<int>("pen_width");
    QTest::addColumn<bool>("colorValid");
    QTest::addColumn<int>("alpha");

    QTest::newRow("complete") << QByteArray(R"({"name":"c","center":{"x":370,"y":233},"radius":25,
                                              "pen_width":25,"color":"#80ff0000"})")
                              << "c" << QPoint(370, 233) << 25 << 25 << true << 0x80;
    QTest::newRow("transparent") << QByteArray(R"({"color":"#00000000"})") << "" << QPoint(0, 0) << 0 << 0 << true
                                 << 0;
    QTest::newRow("named colour") << QByteArray(R"({"color":"red"})") << "" << QPoint(0, 0) << 0 << 0 << true << 255;
    QTest::newRow("no keys: zeros, invalid colour") << QByteArray("{}") << "" << QPoint(0, 0) << 0 << 0 << false
                                                    << -1;
    QTest::newRow("unparseable colour") << QByteArray(R"({"color":"#12"})") << "" << QPoint(0, 0) << 0 << 0
                                        << false << -1;
    QTest::newRow("center with only y, radius string")
        << QByteArray(R"({"center":{"y":9},"radius":"25","pen_width":2.5})") << "" << QPoint(0, 9) << 0 << 0
        << false << -1;
}

void TestSettings::circle_factory()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, colorValid);
    QFETCH(int, alpha);
    const Settings::CircleData circle = Settings::CircleData_factory(object_of(json));
    QTEST(circle.name, "name");
    QTEST(circle.center, "center");
    QTEST(circle.radius, "radius");
    QTEST(circle.pen_width, "pen_width");
    QCOMPARE(circle.color.isValid(), colorValid);
    if (colorValid)
        QCOMPARE(circle.color.alpha(), alpha);
}

void TestSettings::document_shapes_data()
{
    QTest::addColumn<QString>("json");
    QTest::addColumn<int>("labels");
    QTest::addColumn<int>("circles");
    QTest::newRow("empty object") << "{}" << 0 << 0;
    QTest::newRow("empty text") << "" << 0 << 0;
    QTest::newRow("not JSON") << "labels: [ nope" << 0 << 0;
    QTest::newRow("top-level array") << R"([{"id":"a"}])" << 0 << 0;
    QTest::newRow("arrays of the wrong type") << R"({"labels":5,"circles":{"a":1}})" << 0 << 0;
    QTest::newRow("non-object elements give default records")
        << R"({"labels":[1,"x",{"id":"a"}],"circles":[null]})" << 3 << 1;
    QTest::newRow("other keys ignored") << R"({"version":3,"labels":[{}]})" << 1 << 0;
}

void TestSettings::document_shapes()
{
    QFETCH(QString, json);
    const Settings::GUI gui(json);
    QVERIFY(gui.valid);
    QTEST(int(gui.labels.size()), "labels");
    QTEST(int(gui.circles.size()), "circles");
    for (auto const& label : gui.labels)
        QCOMPARE(label.position, QPoint(-1, -1));
}

void TestSettings::raw_line_feeds_and_tabs_are_kept()
{
    const Settings::GUI gui(QStringLiteral("{\n\t\"labels\": [{\"id\": \"a\", \"text\": \"x\n\\n\ty\\\"z\"}]\n}"));
    QCOMPARE(gui.labels.size(), size_t(1));
    QCOMPARE(gui.labels[0].text, QStringLiteral("x\n\n\ty\"z"));
    QVERIFY(!Settings::GUI().valid);
}

void TestSettings::first_of_duplicate_ids_wins()
{
    const Settings::GUI gui(QStringLiteral(R"({"labels":[{"id":"a","text":"first"},{"id":"A","text":"upper"},
                                                         {"id":"a","text":"second"}]})"));
    QCOMPARE(gui.text(QStringLiteral("a")), QStringLiteral("first"));
    QCOMPARE(gui.label(QStringLiteral("a")), &gui.labels[0]);
    QCOMPARE(gui.text(QStringLiteral("A")), QStringLiteral("upper"));
}

void TestSettings::missing_id_warns_and_gives_empty_text()
{
    const Settings::GUI gui(QStringLiteral(R"({"labels":[{"id":"a","text":"T"}]})"));
    MessageCapture capture;
    QCOMPARE(gui.label(QStringLiteral("b")), nullptr);
    const QString text = gui.text(QStringLiteral("status_noDev"));
    QVERIFY(text.isEmpty());
    QCOMPARE(capture.of(QtWarningMsg), QStringList({QStringLiteral("No matching label with id \"b\" found"),
                                                    QStringLiteral("No matching label with id \"status_noDev\" found")}));
}

void TestSettings::label_text_form_data()
{
    QTest::addColumn<bool>("create");
    QTest::addColumn<bool>("white");
    QTest::addColumn<QString>("expected");
    QTest::newRow("both true") << true << true << "Label 'x': (3,-1) {} font='Serif':12: 'a\nb'";
    QTest::newRow("no-create") << false << true << "Label 'x': (3,-1) {no-create} font='Serif':12: 'a\nb'";
    QTest::newRow("not-white") << true << false << "Label 'x': (3,-1) {not-white} font='Serif':12: 'a\nb'";
    QTest::newRow("both false") << false << false
                                << "Label 'x': (3,-1) {not-white no-create} font='Serif':12: 'a\nb'";
}

void TestSettings::label_text_form()
{
    QFETCH(bool, create);
    QFETCH(bool, white);
    Settings::LabelData label;
    label.id = QStringLiteral("x");
    label.position = QPoint(3, -1);
    label.size = 12;
    label.font = QStringLiteral("Serif");
    label.text = QStringLiteral("a\nb");
    label.create = create;
    label.white = white;
    QTEST(QString(label), "expected");

    MessageCapture capture;
    qInfo() << label << QStringLiteral("after");
    QCOMPARE(capture.all(), QStringList(QString(label) + QStringLiteral(" \"after\"")));
}

void TestSettings::circle_and_gui_text_forms()
{
    Settings::CircleData circle;
    circle.name = QStringLiteral("ring");
    circle.center = QPoint(370, 233);
    circle.radius = 25;
    circle.pen_width = 4;
    circle.color = QColor(QStringLiteral("#80FF00AA"));
    QCOMPARE(QString(circle), QStringLiteral("Circle 'ring': (370,233), r=25, w=4, color=#80ff00aa"));

    Settings::GUI gui(QStringLiteral(R"({"labels":[{"id":"a","text":"T"}],
                                         "circles":[{"name":"c","color":"#00000000"}]})"));
    QCOMPARE(QString(gui), QStringLiteral("GUI settings:\n"
                                          "\tCircle 'c': (0,0), r=0, w=0, color=#00000000\n"
                                          "\tLabel 'a': (-1,-1) {} font='':-1: 'T'\n"));
    QCOMPARE(QString(Settings::GUI()), QStringLiteral("GUI settings:\n\tInvalid\n"));

    MessageCapture capture;
    qInfo() << circle << gui;
    QCOMPARE(capture.all(), QStringList(QString(circle) + QLatin1Char(' ') + QString(gui)));
}

void TestSettings::shipped_file()
{
    const QString raw = Settings::load_settings_file(QStringLiteral(":resources/settings_GUI.json"));
    const QRegularExpression spaceIndent(QStringLiteral("^\\t* "), QRegularExpression::MultilineOption);
    QVERIFY2(!raw.contains(spaceIndent), "the file is indented with tabs");
    QVERIFY2(raw.contains(QLatin1String("\">\n<span")), "line feeds stay raw inside its strings");

    const Settings::GUI gui = Settings::make_GUI(QStringLiteral(":resources/settings_GUI.json"));
    QVERIFY(gui.valid);

    struct Expected {
        const char* id;
        QPoint position;
        bool create;
    };
    const QPoint none(-1, -1);
    const std::vector<Expected> expected = {
        {"2", {37, 32}, true},         {"4", {400, 32}, true},
        {"5", {37, 300}, true},        {"7a", {37, 350}, true},
        {"7b", {37, 380}, true},       {"9", {37, 428}, true},
        {"8b2", none, false},          {"status_noDev", {37, 483}, true},
        {"status_devConn", none, false}, {"status_devRev", none, false},
        {"status_devRevUnknown", none, false}, {"app_name", {480, 387}, false},
        {"sim_mode", {480, 407}, false}, {"debug_mode", {480, 427}, false},
    };
    QCOMPARE(gui.labels.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        Settings::LabelData const& label = gui.labels[i];
        QCOMPARE(label.id, QString::fromLatin1(expected[i].id));
        QCOMPARE(label.position, expected[i].position);
        QCOMPARE(label.create, expected[i].create);
        QCOMPARE(label.size, -1);
        QCOMPARE(label.font, QString());
        QVERIFY(label.white);
    }

    const QString statusSpan = QStringLiteral("<span style=\"color:#000000; font-size:9pt\">\n");
    QCOMPARE(gui.text(QStringLiteral("2")),
             QStringLiteral("<span style=\"font-size:20pt\">\n"
                            "<span style=\"color:#FFFFFF; font-weight:bold;\">Firmware upgrade</span>\n<br>\n"
                            "<span style=\"font-weight:bold\">%1</span>\n</span>"));
    QCOMPARE(gui.text(QStringLiteral("4")),
             QStringLiteral("<span style=\"font-size:20pt\">\nFirmware version:\n<br>\n%1</span>"));
    QCOMPARE(gui.text(QStringLiteral("5")), QStringLiteral("Follow the steps below\nto upgrade your product."));
    QCOMPARE(gui.text(QStringLiteral("7a")), QStringLiteral("1. Disconnect power cable"));
    QCOMPARE(gui.text(QStringLiteral("7b")),
             QStringLiteral("2. Press \"Settings\" while\n    connecting power cable"));
    QCOMPARE(gui.text(QStringLiteral("9")), QStringLiteral("3. Connect USB cable"));
    QCOMPARE(gui.text(QStringLiteral("8b2")), QStringLiteral("4. Click here to start upgrade"));
    QCOMPARE(gui.text(QStringLiteral("status_noDev")),
             statusSpan + QStringLiteral("The USB cable must have a 'Micro B' plug and a 'Type A' plug.</span>"));
    QCOMPARE(gui.text(QStringLiteral("status_devConn")), statusSpan + QStringLiteral("Connected to a %1.</span>"));
    QCOMPARE(gui.text(QStringLiteral("status_devRev")),
             statusSpan + QStringLiteral("Connected to a %1 with firmware version %2</span>"));
    QCOMPARE(gui.text(QStringLiteral("status_devRevUnknown")),
             statusSpan + QStringLiteral("Connected to a %1 with unknown firmware version.</span>"));
    QCOMPARE(gui.text(QStringLiteral("app_name")), QString());
    QCOMPARE(gui.text(QStringLiteral("sim_mode")), QStringLiteral("Simulator mode"));
    QCOMPARE(gui.text(QStringLiteral("debug_mode")), QStringLiteral("Debug mode"));

    QCOMPARE(gui.circles.size(), size_t(1));
    QCOMPARE(QString(gui.circles[0]), QStringLiteral("Circle 'Settings-button': (370,233), r=25, w=25, color=#00000000"));
    QVERIFY(gui.circles[0].color.isValid());
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
