#pragma once
// Where the window gets its page: the maintenance page ("系统处理").
#include <QWidget>

namespace korvane {

class PanelController;
class UserPrompts;

// The page for the main window's page area, a child of `parent`.
QWidget* CreateMaintenancePage(PanelController& controller, UserPrompts& prompts, QWidget* parent);

}  // namespace korvane
