// The fixed-size main window: background, labels, install button, progress bar, circles.
#include "gui/main_window.h"

#include "files/support_misc.h"
#include "gui/circle.h"
#include "gui/install_button.h"
#include "gui/progress_bar.h"

#include <QApplication>
#include <QDebug>
#include <QDesktopWidget>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QScreen>
#include <QStyle>

namespace {

// The background picture's size: every layout number is in these design pixels.
constexpr int design_width_px = 665;
constexpr int design_height_px = 517;
// The window sits this far below the top of the screen.
constexpr int window_top_offset_px = 50;
// The install button, and the progress bar in its place.
constexpr int button_x_px = 207;
constexpr int button_y_px = 417;
constexpr int button_width_px = 250;
constexpr int button_height_px = 40;
// Width of the right-aligned version blocks.
constexpr double version_block_width_px = 228.0;
// Screen density at which label font sizes are taken as given.
constexpr double reference_physical_dpi = 110.0;
constexpr double windows_font_size_boost = 1.3;
// Density at which the window is drawn 1:1 on platforms that do not scale for us.
constexpr double reference_logical_dpi = 96.0;

const QString status_label_id = QStringLiteral("status_noDev");

const char* const background_style_sheet =
    "QMainWindow { border-image:url(\"://resources/background.jpg\") 0 0 0 0 stretch stretch; }";
const char* const white_label_style_sheet =
    "QLabel { background-color : rgba(0,0,0,0%); color : rgba(175,175,175,100%); }";
const char* const black_label_style_sheet = "QLabel { background-color : rgba(0,0,0,0%); color : black; }";

// Factor applied to label font sizes, from the primary screen's physical density.
// Computed on first use; a result of 0 is computed again next time.
double label_size_factor()
{
    static double factor = 0.0;
    if (factor == 0.0) {
        QScreen* screen = QGuiApplication::primaryScreen();
        factor = screen ? screen->physicalDotsPerInch() / reference_physical_dpi : 0.0;
        if (support_misc::compiled_for_platform(support_misc::Platform::Windows))
            factor *= windows_font_size_boost;
    }
    return factor;
}

} // namespace

MainWindow::MainWindow(Settings::Settings const* settings, QWidget* parent)
    : QMainWindow(parent)
    , settings(settings)
    , statusLabel(nullptr)
    , downloadMode(false)
    , scale(1.0)
    , installButton(nullptr)
    , progressBar(nullptr)
{
    auto* central = new QWidget(this);
    setStyleSheet(QString::fromLatin1(background_style_sheet));
    if (support_misc::compiled_for_platform(support_misc::Platform::macOS))
        scale = 1.0;
    else
        scale = QApplication::desktop()->logicalDpiX() / reference_logical_dpi;
    setCentralWidget(central);
    setupGeometry();
    downloadMode = false;
    emit downloadModeChanged();
    connect(this, &MainWindow::downloadModeChanged, this, &MainWindow::updateDownloadMode);
}

void MainWindow::setupGeometry()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect screenGeometry = screen ? screen->geometry() : QRect();
    setFixedSize(static_cast<int>(design_width_px * scale), static_cast<int>(design_height_px * scale));
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignHCenter | Qt::AlignTop,
                                    QSize(qRound(design_width_px * scale), qRound(design_height_px * scale)),
                                    screenGeometry));
    move(pos() + QPoint(qRound(0 * scale), qRound(window_top_offset_px * scale)));
    const QRect buttonGeometry(static_cast<int>(button_x_px * scale), static_cast<int>(button_y_px * scale),
                               static_cast<int>(button_width_px * scale),
                               static_cast<int>(button_height_px * scale));
    if (installButton)
        installButton->setGeometry(buttonGeometry);
    if (progressBar) {
        progressBar->setGeometry(buttonGeometry);
        progressBar->hide();
    }
}

void MainWindow::enableDownload()
{
    downloadMode = true;
    emit downloadModeChanged();
}

void MainWindow::disableDownload()
{
    downloadMode = false;
    emit downloadModeChanged();
}

void MainWindow::toggleDownload()
{
    downloadMode = !downloadMode;
    emit downloadModeChanged();
}

void MainWindow::updateDownloadMode()
{
    if (installButton) {
        qInfo() << "MainWindow downloadMode: setEnabled" << downloadMode;
        installButton->setEnabled(downloadMode);
    }
    qInfo() << "Download " << (downloadMode ? "enabled" : "disabled");
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_A:
        toggleDownload();
        break;
    case Qt::Key_Escape:
    case Qt::Key_Q:
        emit finished();
        break;
    default:
        break;
    }
}

MainWindow* MainWindow_factory(Settings::Settings const* settings, QWidget* parent, bool simulatorInUse)
{
    if (settings->gui.text(status_label_id).isEmpty())
        qFatal("No message with id '%s' found, aborting", qPrintable(status_label_id));

    auto* window = new MainWindow(settings, parent);
    window->installButton = new InstallButton(window);
    add_labels(settings, window, simulatorInUse);
    window->updateDownloadMode();
    window->progressBar = new ProgressBar(window);
    window->setupGeometry();

    std::vector<Settings::CircleData> circles = settings->gui.circles;
    for (Settings::CircleData& circle : circles) {
        circle.center = QPoint(qRound(circle.center.x() * window->scale), qRound(circle.center.y() * window->scale));
        circle.radius = static_cast<int>(circle.radius * window->scale);
        circle.pen_width = static_cast<int>(circle.pen_width * window->scale);
    }
    add_circles(circles, window);
    return window;
}

void add_labels(Settings::Settings const* settings, MainWindow* window, bool simulatorInUse)
{
    window->show();
    for (Settings::LabelData const& data : settings->gui.labels) {
        if (!data.create) {
            if (data.id == QLatin1String("8b2") && window->installButton) {
                window->installButton->setText(data.text);
                continue;
            }
            if (!(data.id == QLatin1String("sim_mode") && simulatorInUse))
                continue;
        }
        if (data.text.isEmpty())
            continue;

        auto* label = new QLabel(data.text, window);
        if (data.id == QLatin1String("2")) {
            Device::ProductInfo product;
            product.type = settings->desired_ID;
            label->setText(data.text.arg(product.product_name_full()));
        }
        if (data.id == QLatin1String("4"))
            label->setText(data.text.arg(settings->desired_revision));

        const bool versionBlock = data.id == QLatin1String("4") || data.id == QLatin1String("4_hdr");
        if (data.id == QLatin1String("2") || data.id == QLatin1String("3"))
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        else if (versionBlock)
            label->setAlignment(Qt::AlignRight | Qt::AlignTop);

        if (data.id == status_label_id) {
            window->statusLabel = label;
            label->setAccessibleName(QObject::tr("Status"));
        }
        if (!data.font.isEmpty()) {
            QFont font = label->font();
            font.setFamily(data.font);
            label->setFont(font);
        }
        if (data.size > 0) {
            QFont font = label->font();
            font.setPixelSize(static_cast<int>(data.size * label_size_factor()));
            label->setFont(font);
        }

        const QFontMetrics metrics(label->font());
        int width = metrics.horizontalAdvance(label->text());
        const int lines = label->text().count(QLatin1Char('\n')) + 1;
        if (versionBlock) {
            width = static_cast<int>(window->scale * version_block_width_px);
            qInfo() << "Overriding width to " << width << "for text:" << data.text;
        }
        label->resize(width, metrics.height() * lines);
        label->setStyleSheet(QString::fromLatin1(data.white ? white_label_style_sheet : black_label_style_sheet));
        if (data.position.x() > 0 && data.position.y() > 0)
            label->move(qRound(data.position.x() * window->scale), qRound(data.position.y() * window->scale));
        label->show();
    }
}

void add_circles(std::vector<Settings::CircleData> const& circles, QWidget* parent)
{
    for (Settings::CircleData const& data : circles) {
        auto* circle = new Circle(Circle::Data{data.center, data.radius, data.pen_width, data.color}, parent);
        circle->show();
    }
}
