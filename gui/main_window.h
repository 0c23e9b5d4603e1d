// The fixed-size main window: background, labels, install button, progress bar, circles.
#pragma once

#include "gui/settings.h"

#include <QLabel>
#include <QMainWindow>

#include <vector>

class InstallButton;
class ProgressBar;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Settings::Settings const* settings, QWidget* parent);

    void setupGeometry();

    Settings::Settings const* settings;
    // The status line (the label of "status_noDev"); null while no such label exists.
    QLabel* statusLabel;
    bool downloadMode;
    double scale;
    InstallButton* installButton;
    ProgressBar* progressBar;

signals:
    void finished();
    void downloadModeChanged();

public slots:
    void enableDownload();
    void disableDownload();
    void toggleDownload();
    void updateDownloadMode();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

MainWindow* MainWindow_factory(Settings::Settings const* settings, QWidget* parent, bool simulatorInUse);
void add_labels(Settings::Settings const* settings, MainWindow* window, bool simulatorInUse);
void add_circles(std::vector<Settings::CircleData> const& circles, QWidget* parent);
