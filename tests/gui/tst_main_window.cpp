// Tests of the main window: geometry, labels from the settings, install button, keys, circles.
#include "gui/circle.h"
#include "gui/install_button.h"
#include "gui/main_window.h"
#include "gui/progress_bar.h"
#include "message_capture.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QStyle>
#include <QtTest>

#include <memory>

namespace {

Settings::Settings shipped_settings()
{
    Settings::Settings s;
    s.gui = Settings::make_GUI(QStringLiteral(":resources/settings_GUI.json"));
    s.desired_ID = Device::Halkora;
    s.desired_revision = QStringLiteral("3.2.0");
    return s;
}

Settings::Settings settings_from(QString const& json)
{
    Settings::Settings s;
    s.gui = Settings::GUI(json);
    return s;
}

// The window's labels keyed by the settings text they were made from.
QLabel* label_with_text_containing(QWidget* window, QString const& part)
{
    for (QLabel* label : window->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (label->text().contains(part))
            return label;
    }
    return nullptr;
}

struct WindowDeleter {
    void operator()(MainWindow* w) const { delete w; }
};
using WindowPtr = std::unique_ptr<MainWindow, WindowDeleter>;

WindowPtr make_window(Settings::Settings const* settings, bool simulator = false)
{
    return WindowPtr(MainWindow_factory(settings, nullptr, simulator));
}

QImage rendered(QWidget* widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(resources); }

    void window_size_and_position();
    void button_and_progress_bar_share_a_rectangle();
    void shipped_labels_data();
    void shipped_labels();
    void placeholders_alignment_and_width_override();
    void label_rules_data();
    void label_rules();
    void status_entry_without_label_leaves_status_label_null();
    void download_mode_slots_and_keys();
    void enabled_button_is_pressed_from_keyboard();
    void circles_are_placed_and_scaled();
    void circle_pen_rule_data();
    void circle_pen_rule();
    void missing_status_text_is_fatal();
};

void TestMainWindow::window_size_and_position()
{
    const Settings::Settings settings = shipped_settings();
    WindowPtr window = make_window(&settings);
    const double scale = QApplication::desktop()->logicalDpiX() / 96.0;
    QCOMPARE(window->scale, scale);
    QCOMPARE(window->size(), QSize(int(665 * scale), int(517 * scale)));
    QCOMPARE(window->minimumSize(), window->maximumSize());

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect centred = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignHCenter | Qt::AlignTop,
                                              QSize(qRound(665 * scale), qRound(517 * scale)), screen);
    QCOMPARE(window->geometry().topLeft(), centred.topLeft() + QPoint(0, qRound(50 * scale)));
    QVERIFY(window->isVisible());
    QVERIFY(window->styleSheet().contains(QLatin1String("border-image:url(\"://resources/background.jpg\")")));
}

void TestMainWindow::button_and_progress_bar_share_a_rectangle()
{
    const Settings::Settings settings = shipped_settings();
    WindowPtr window = make_window(&settings);
    const double s = window->scale;
    const QRect expected(int(207 * s), int(417 * s), int(250 * s), int(40 * s));
    QVERIFY(window->installButton && window->progressBar);
    QCOMPARE(window->installButton->geometry(), expected);
    QCOMPARE(window->progressBar->geometry(), expected);
    QVERIFY(window->progressBar->isHidden());
    QCOMPARE(window->installButton->parentWidget(), static_cast<QWidget*>(window.get()));
    QCOMPARE(window->installButton->objectName(), QStringLiteral("GUI_8"));
    QCOMPARE(window->installButton->text(), QStringLiteral("4. Click here to start upgrade"));
    QVERIFY(!window->installButton->isEnabled());
    QVERIFY(!window->downloadMode);
    QVERIFY(!window->installButton->accessibleName().isEmpty());
    QVERIFY(!window->progressBar->accessibleName().isEmpty());
}

void TestMainWindow::shipped_labels_data()
{
    QTest::addColumn<bool>("simulator");
    QTest::newRow("real device") << false;
    QTest::newRow("simulator") << true;
}

void TestMainWindow::shipped_labels()
{
    QFETCH(bool, simulator);
    const Settings::Settings settings = shipped_settings();
    WindowPtr window = make_window(&settings, simulator);
    const double s = window->scale;

    const QList<QLabel*> labels = window->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(labels.size(), simulator ? 8 : 7);
    const struct {
        const char* text;
        QPoint at;
    } placed[] = {
        {"Firmware upgrade", {37, 32}},       {"Firmware version:", {400, 32}},
        {"Follow the steps below", {37, 300}}, {"1. Disconnect power cable", {37, 350}},
        {"2. Press", {37, 380}},               {"3. Connect USB cable", {37, 428}},
        {"The USB cable must have", {37, 483}},
    };
    for (auto const& p : placed) {
        QLabel* label = label_with_text_containing(window.get(), QString::fromLatin1(p.text));
        QVERIFY2(label, p.text);
        QCOMPARE(label->pos(), QPoint(qRound(p.at.x() * s), qRound(p.at.y() * s)));
        QVERIFY(label->isVisible());
        QVERIFY(label->styleSheet().contains(QLatin1String("color : rgba(175,175,175,100%)")));
    }
    QLabel* sim = label_with_text_containing(window.get(), QStringLiteral("Simulator mode"));
    QCOMPARE(sim != nullptr, simulator);
    if (sim)
        QCOMPARE(sim->pos(), QPoint(qRound(480 * s), qRound(407 * s)));
    QVERIFY(!label_with_text_containing(window.get(), QStringLiteral("Debug mode")));
    QVERIFY(!label_with_text_containing(window.get(), QStringLiteral("4. Click here")));
    QVERIFY(!label_with_text_containing(window.get(), QStringLiteral("Connected to a")));

    QLabel* status = label_with_text_containing(window.get(), QStringLiteral("The USB cable must have"));
    QCOMPARE(window->statusLabel, status);
    QVERIFY(!status->accessibleName().isEmpty());
}

void TestMainWindow::placeholders_alignment_and_width_override()
{
    const Settings::Settings settings = shipped_settings();
    MessageCapture capture;
    WindowPtr window = make_window(&settings);

    Device::ProductInfo product;
    product.type = Device::Halkora;
    QVERIFY(!product.product_name_full().isEmpty());
    QLabel* title = label_with_text_containing(window.get(), QStringLiteral("Firmware upgrade"));
    QCOMPARE(title->text(), settings.gui.text(QStringLiteral("2")).arg(product.product_name_full()));
    QCOMPARE(title->alignment(), Qt::AlignLeft | Qt::AlignTop);

    QLabel* version = label_with_text_containing(window.get(), QStringLiteral("Firmware version:"));
    QCOMPARE(version->text(), settings.gui.text(QStringLiteral("4")).arg(QStringLiteral("3.2.0")));
    QCOMPARE(version->alignment(), Qt::AlignRight | Qt::AlignTop);
    const int width = int(window->scale * 228.0);
    QCOMPARE(version->width(), width);
    const QString line = QStringLiteral("Overriding width to  %1 for text: \"%2\"")
                             .arg(width)
                             .arg(settings.gui.text(QStringLiteral("4")).replace(QLatin1Char('"'), QLatin1String("\\\""))
                                      .replace(QLatin1Char('\n'), QLatin1String("\\n")));
    QCOMPARE(capture.of(QtInfoMsg).filter(QStringLiteral("Overriding width")), QStringList(line));

    // Three line feeds, though inside markup, make the label four font heights tall.
    QCOMPARE(version->height(), QFontMetrics(version->font()).height() * 4);
    QLabel* other = label_with_text_containing(window.get(), QStringLiteral("Follow the steps"));
    QCOMPARE(other->alignment(), QLabel().alignment());
}

void TestMainWindow::label_rules_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("created");
    QTest::addColumn<QPoint>("pos");

    QTest::newRow("no position: top-left") << R"({"id":"x","text":"XX"})" << true << QPoint(0, 0);
    QTest::newRow("only x: not moved") << R"({"id":"x","text":"XX","position":{"x":10}})" << true << QPoint(0, 0);
    QTest::newRow("y zero: not moved") << R"({"id":"x","text":"XX","position":{"x":10,"y":0}})" << true
                                       << QPoint(0, 0);
    QTest::newRow("both positive: moved") << R"({"id":"x","text":"XX","position":{"x":10,"y":20}})" << true
                                          << QPoint(10, 20);
    QTest::newRow("empty text skipped") << R"({"id":"x","text":""})" << false << QPoint();
    QTest::newRow("create false skipped") << R"({"id":"x","text":"XX","create":false})" << false << QPoint();
    QTest::newRow("4_hdr gets the fixed width") << R"({"id":"4_hdr","text":"XX"})" << true << QPoint(0, 0);
    QTest::newRow("3 aligned left/top") << R"({"id":"3","text":"XX"})" << true << QPoint(0, 0);
}

void TestMainWindow::label_rules()
{
    QFETCH(QString, label);
    QFETCH(bool, created);
    QFETCH(QPoint, pos);
    const Settings::Settings settings =
        settings_from(QStringLiteral(R"({"labels":[{"id":"status_noDev","text":"S","create":false},%1]})").arg(label));
    WindowPtr window = make_window(&settings);
    const double s = window->scale;
    QLabel* made = label_with_text_containing(window.get(), QStringLiteral("XX"));
    QCOMPARE(made != nullptr, created);
    if (!made)
        return;
    QCOMPARE(made->pos(), QPoint(qRound(pos.x() * s), qRound(pos.y() * s)));
    const QString id = Settings::GUI(QStringLiteral(R"({"labels":[%1]})").arg(label)).labels[0].id;
    if (id == QLatin1String("4_hdr")) {
        QCOMPARE(made->width(), int(228 * s));
        QCOMPARE(made->alignment(), Qt::AlignRight | Qt::AlignTop);
    } else if (id == QLatin1String("3")) {
        QCOMPARE(made->alignment(), Qt::AlignLeft | Qt::AlignTop);
    } else {
        QCOMPARE(made->width(), QFontMetrics(made->font()).horizontalAdvance(QStringLiteral("XX")));
    }
}

void TestMainWindow::status_entry_without_label_leaves_status_label_null()
{
    // Also: "8b2" as an ordinary label leaves the button without caption; "sim_mode"
    // stays hidden without the simulator; black text, font family and size are applied.
    const Settings::Settings settings = settings_from(QStringLiteral(R"({"labels":[
        {"id":"status_noDev","text":"S","create":false},
        {"id":"8b2","text":"Caption as label"},
        {"id":"sim_mode","text":"Sim","create":false},
        {"id":"b","text":"Black","white":false,"font":"Serif","size":20,"position":{"x":5,"y":6}}]})"));
    WindowPtr window = make_window(&settings);
    QCOMPARE(window->statusLabel, nullptr);
    QVERIFY(window->installButton->text().isEmpty());
    QVERIFY(label_with_text_containing(window.get(), QStringLiteral("Caption as label")));
    QVERIFY(!label_with_text_containing(window.get(), QStringLiteral("Sim")));

    QLabel* black = label_with_text_containing(window.get(), QStringLiteral("Black"));
    QVERIFY(black->styleSheet().contains(QLatin1String("color : black;")));
    QCOMPARE(black->font().family(), QStringLiteral("Serif"));
    const double factor = QGuiApplication::primaryScreen()->physicalDotsPerInch() / 110.0;
    if (factor > 0)
        QCOMPARE(black->font().pixelSize(), int(20 * factor));
}

void TestMainWindow::download_mode_slots_and_keys()
{
    const Settings::Settings settings = shipped_settings();
    WindowPtr window = make_window(&settings);
    QSignalSpy changed(window.get(), &MainWindow::downloadModeChanged);
    QSignalSpy finished(window.get(), &MainWindow::finished);

    MessageCapture capture;
    QTest::keyClick(window.get(), Qt::Key_A);
    QVERIFY(window->downloadMode);
    QVERIFY(window->installButton->isEnabled());
    QCOMPARE(capture.of(QtInfoMsg), QStringList({QStringLiteral("MainWindow downloadMode: setEnabled true"),
                                                 QStringLiteral("Download  enabled")}));
    QTest::keyClick(window.get(), Qt::Key_A, Qt::ShiftModifier);
    QVERIFY(!window->installButton->isEnabled());
    QCOMPARE(capture.of(QtInfoMsg).mid(2), QStringList({QStringLiteral("MainWindow downloadMode: setEnabled false"),
                                                        QStringLiteral("Download  disabled")}));
    QCOMPARE(changed.count(), 2);

    QTest::keyClick(window.get(), Qt::Key_Q);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(window.get(), Qt::Key_B);
    QCOMPARE(finished.count(), 2);
    QCOMPARE(changed.count(), 2);

    window->enableDownload();
    QVERIFY(window->installButton->isEnabled());
    window->enableDownload();
    QVERIFY(window->downloadMode);
    window->toggleDownload();
    QVERIFY(!window->installButton->isEnabled());
    window->disableDownload();
    QVERIFY(!window->downloadMode);
    QCOMPARE(changed.count(), 6);
}

void TestMainWindow::enabled_button_is_pressed_from_keyboard()
{
    const Settings::Settings settings = shipped_settings();
    WindowPtr window = make_window(&settings);
    window->activateWindow();
    window->enableDownload();
    QCOMPARE(window->installButton->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    window->installButton->setFocus();
    QSignalSpy clicked(window->installButton, &QAbstractButton::clicked);
    MessageCapture capture;
    QTest::keyClick(window->installButton, Qt::Key_Space);
    QCOMPARE(clicked.count(), 1);
    QVERIFY(capture.of(QtInfoMsg).contains(QStringLiteral("Install clicked")));
}

void TestMainWindow::circles_are_placed_and_scaled()
{
    const Settings::Settings settings = shipped_settings();
    WindowPtr window = make_window(&settings);
    const QList<Circle*> circles = window->findChildren<Circle*>();
    QCOMPARE(circles.size(), 1);
    Circle* circle = circles.first();
    const double s = window->scale;
    const int radius = int(25 * s);
    const QPoint center(qRound(370 * s), qRound(233 * s));
    QCOMPARE(circle->data().center, center);
    QCOMPARE(circle->data().pen_width, int(25 * s));
    QCOMPARE(circle->geometry(), QRect(center - QPoint(radius, radius), QSize(2 * radius, 2 * radius)));
    QCOMPARE(circle->data().color.alpha(), 0);

    circle->setCenter(QPoint(100, 90));
    QCOMPARE(circle->pos(), QPoint(100 - radius, 90 - radius));
    QCOMPARE(circle->size(), QSize(2 * radius, 2 * radius));
    // The rings lie above the other children.
    QCOMPARE(window->children().last(), static_cast<QObject*>(circle));
}

void TestMainWindow::circle_pen_rule_data()
{
    QTest::addColumn<int>("radius");
    QTest::addColumn<int>("pen_width");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QPoint>("inside");   // a pixel the stroke covers
    QTest::addColumn<QPoint>("outside");  // a pixel left untouched
    // Pen width equal to the radius: a filled-looking disc (r = 13, o = 12).
    QTest::newRow("disc") << 25 << 25 << QColor(Qt::red) << QPoint(20, 25) << QPoint(1, 1);
    QTest::newRow("disc reaches the border") << 25 << 25 << QColor(Qt::red) << QPoint(1, 25) << QPoint(48, 48);
    // A thin ring (r = 18, o = 2): stroke from radius 16 to 20 about the centre.
    QTest::newRow("ring centre empty") << 20 << 4 << QColor(Qt::red) << QPoint(20, 1) << QPoint(20, 20);
    QTest::newRow("ring inner edge") << 20 << 4 << QColor(Qt::red) << QPoint(1, 20) << QPoint(20, 6);
    QTest::newRow("transparent colour draws nothing")
        << 25 << 25 << QColor(0, 0, 0, 0) << QPoint(-1, -1) << QPoint(25, 25);
}

void TestMainWindow::circle_pen_rule()
{
    QFETCH(int, radius);
    QFETCH(int, pen_width);
    QFETCH(QColor, color);
    QFETCH(QPoint, inside);
    QFETCH(QPoint, outside);
    Circle circle(Circle::Data{QPoint(radius, radius), radius, pen_width, color}, nullptr);
    QCOMPARE(circle.size(), QSize(2 * radius, 2 * radius));
    QCOMPARE(circle.pos(), QPoint(0, 0));
    const QImage image = rendered(&circle);
    if (inside.x() >= 0)
        QCOMPARE(QColor(image.pixel(inside)), color);
    QCOMPARE(qAlpha(image.pixel(outside)), 0);
}

void TestMainWindow::missing_status_text_is_fatal()
{
    QProcess helper;
    helper.start(QStringLiteral(GUI_DEATH_HELPER), {QStringLiteral("no_status_text")});
    QVERIFY(helper.waitForFinished(60000));
    const QByteArray err = helper.readAllStandardError();
    QVERIFY2(helper.exitStatus() == QProcess::CrashExit || helper.exitCode() != 0, err.constData());
    QVERIFY2(err.contains("No matching label with id \"status_noDev\" found"), err.constData());
    QVERIFY2(err.contains("No message with id 'status_noDev' found, aborting"), err.constData());
    QVERIFY2(!err.contains("window created"), err.constData());
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
