#include "widgets/maintenance_page_factory.h"

namespace korvane {

// WIRING POINT: the maintenance page plugs in here. Until CMaintenancePage
// exists this returns an empty page, so that the window has its page entry,
// navigation and link display; the page operations come with that class.
QWidget* CreateMaintenancePage(PanelController&, UserPrompts&, QWidget* parent) {
    auto* page = new QWidget(parent);
    page->setObjectName(QStringLiteral("IDD_132"));
    return page;
}

}  // namespace korvane
