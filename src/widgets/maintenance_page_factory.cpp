#include "widgets/maintenance_page_factory.h"

#include "widgets/maintenance_page.h"

namespace korvane {

QWidget* CreateMaintenancePage(PanelController& controller, UserPrompts& prompts, QWidget* parent) {
    return new MaintenancePage(controller, prompts, parent);
}

}  // namespace korvane
