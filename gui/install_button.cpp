// The push button that starts an upgrade.
#include "gui/install_button.h"

#include <QDebug>

namespace {

constexpr int install_button_min_height_px = 30;

} // namespace

InstallButton::InstallButton(QWidget* parent)
    : QPushButton(parent)
{
    setFlat(false);
    setEnabled(true);
    setMinimumHeight(install_button_min_height_px);
    setObjectName(QStringLiteral("GUI_8"));
    // Reachable and pressable from the keyboard whenever it is enabled.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Install firmware"));
    connect(this, &QAbstractButton::clicked, this, [] { qInfo() << "Install clicked"; }, Qt::DirectConnection);
}
