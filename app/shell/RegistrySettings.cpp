// The settings procedures. The store is not read or written yet: every run
// starts from the window's design and leaves the stored settings alone.
#include "app/shell/RegistrySettings.h"

namespace tvn::RegistrySettings {

void LoadSettings(frmMain&) {}
void SaveSettings(frmMain&) {}
void RestoreAnchor(frmMain&) {}

}  // namespace tvn::RegistrySettings
