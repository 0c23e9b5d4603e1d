// The modal dialogs the windows open, reached through replaceable functions.
#include "gui/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace Dialogs {

GetSaveFileName get_save_file_name = [](QWidget* parent, QString const& caption, QString const& dir,
                                        QString const& filter) {
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
};

ShowWarning show_warning = [](QWidget* parent, QString const& title, QString const& text) {
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
};

} // namespace Dialogs
