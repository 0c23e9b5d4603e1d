// A progress bar that fills over a given time and reports when it is full.
#include "gui/progress_bar.h"

#include <algorithm>
#include <limits>

namespace {

const char* const progress_bar_style_sheet = R"(
QProgressBar {
    border: 2px solid grey;
    border-radius: 5px;
    text-align: center;
}

QProgressBar::chunk {
    background-color: rgba(160,240,140,100%);
    width: 5px;
}
)";

constexpr int progress_min_duration_ms = 1;

} // namespace

ProgressBar::ProgressBar(QWidget* parent)
    : QProgressBar(parent)
    , timer(new QTimer(this))
{
    setup_GUI();
    setAccessibleName(tr("Upgrade progress"));
    connect(timer, &QTimer::timeout, this, &ProgressBar::increase);
}

void ProgressBar::setup_GUI()
{
    setRange(0, 100);
    setStyleSheet(QString::fromLatin1(progress_bar_style_sheet));
}

void ProgressBar::startAutoProgress(QString format, double duration)
{
    timer->stop();
    setValue(minimum());
    setFormat(format);
    // A negative duration (or not-a-number) keeps the previous one.
    if (duration >= 0)
        durationMs = static_cast<int>(std::clamp(duration * 1000, double(progress_min_duration_ms),
                                                 double(std::numeric_limits<int>::max())));
    startAutoProgress();
}

void ProgressBar::startAutoProgress(QString format)
{
    startAutoProgress(format, -1.0);
}

void ProgressBar::startAutoProgress()
{
    steps = std::max(1, maximum() - minimum());
    setValue(minimum());
    timer->setInterval(std::max(minInterval, durationMs / steps));
    timer->start();
    clock.start();
    show();
}

void ProgressBar::increase()
{
    setValue(static_cast<int>(steps * (static_cast<double>(elapsed_ms()) / durationMs)));
    if (elapsed_ms() > durationMs) {
        timer->stop();
        setValue(maximum());
        emit finished();
    }
}

qint64 ProgressBar::elapsed_ms() const
{
    return elapsed_ms_source ? elapsed_ms_source() : clock.elapsed();
}
