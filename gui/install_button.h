// The push button that starts an upgrade.
#pragma once

#include <QPushButton>

class InstallButton : public QPushButton {
    Q_OBJECT
public:
    explicit InstallButton(QWidget* parent);
};
