// The application-wide objects through which the parts of the program reach each other.
#pragma once

#include <QPointer>

class MainWindow;
class SM_A;
class SM_B;
namespace Settings {
struct Settings;
}

extern QPointer<MainWindow> mainWindow;
extern SM_A* sm_A;
extern SM_B* sm_B;
extern Settings::Settings settings;
