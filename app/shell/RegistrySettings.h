// The per-user, per-tree settings of tvn: loaded at start-up, saved at
// shutdown, and the search anchor restored once the trees are built.
#pragma once

namespace tvn {
class frmMain;

namespace RegistrySettings {
void LoadSettings(frmMain& form);
void SaveSettings(frmMain& form);
void RestoreAnchor(frmMain& form);
}  // namespace RegistrySettings

}  // namespace tvn
