// A progress bar that fills over a given time and reports when it is full.
#pragma once

#include <QElapsedTimer>
#include <QProgressBar>
#include <QString>
#include <QTimer>

#include <functional>

class ProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit ProgressBar(QWidget* parent);

    void setup_GUI();

    int steps = 1;
    int minInterval = 50;
    QTimer* timer;
    // Measures the elapsed time of the current run.
    QElapsedTimer clock;
    int durationMs = 10000;
    // Where the elapsed milliseconds of a run come from; the default reads `clock`.
    // Tests replace it to drive the bar without waiting.
    std::function<qint64()> elapsed_ms_source;

signals:
    void finished();

public slots:
    void startAutoProgress(QString format, double duration);
    void startAutoProgress(QString format);
    void startAutoProgress();
    void increase();

private:
    qint64 elapsed_ms() const;
};
