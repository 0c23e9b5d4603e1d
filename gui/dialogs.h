// The modal dialogs the windows open, reached through replaceable functions.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace Dialogs {

// Asks for a file name to save to; an empty result means the user cancelled.
using GetSaveFileName =
    std::function<QString(QWidget* parent, QString const& caption, QString const& dir, QString const& filter)>;
// Shows a warning with a single OK button and returns when it is dismissed.
using ShowWarning = std::function<void(QWidget* parent, QString const& title, QString const& text)>;

// Both start as the standard Qt dialogs; tests put answering functions in their place
// so that nothing waits for a user.
extern GetSaveFileName get_save_file_name;
extern ShowWarning show_warning;

} // namespace Dialogs
