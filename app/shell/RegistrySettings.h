// The per-user, per-tree settings of tvn: loaded at start-up, saved at
// shutdown, and the search anchor restored once the trees are built. They live
// under the application "Tolvane" in four sections per tree ("Settings",
// "History", "KTR User", "KTR Workstation", each followed by "\" and the tree
// name), so that runs on different trees keep their own.
//
// A stored value that the save would not have written (text where a number
// belongs, a negative size, an option index other than 0 or 1, a check value
// other than 0 or 1) reads as the key's default, so that a damaged store never
// stops the program from starting.
#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace platform::registry {
class RegistryError;
}

namespace tvn {
class frmMain;

namespace RegistrySettings {

inline constexpr const char* kApplication = "Tolvane";

// A stored measure in twips, or the default when the text is no number the
// save could have written (not finite, below minimum, beyond a million).
double storedMeasure(const QString& text, double defaultValue, double minimum);
// A stored 0 or 1 (an option index, a check value), rounded as written by
// hand; anything else gives the default.
int storedZeroOrOne(const QString& text, int defaultValue);

// "<base>\<tree name>" for the tree of the run.
QString sectionOf(const frmMain& form, const QString& base);

// Single values of the tree's sections, read with a default.
QString setting(frmMain& form, const QString& base, const QString& key,
                const QString& defaultValue = {});
void saveSetting(frmMain& form, const QString& base, const QString& key, const QString& value);
// The (key, value) pairs of a section in the store's order; none when absent.
std::vector<std::pair<QString, QString>> allSettings(frmMain& form, const QString& base);
// Removes the section with its keys; an absent one is fine.
void deleteSection(frmMain& form, const QString& base);

// Why the settings store could not be used, in one line: "Settings store
// <file> is in use by another program" when another program held it longer
// than the store waits, "Settings store: <file> is not a valid registry
// store" for a foreign or damaged file.
QString storeFailureReason(const platform::registry::RegistryError& error);

void LoadSettings(frmMain& form);
void SaveSettings(frmMain& form);
void RestoreAnchor(frmMain& form);

}  // namespace RegistrySettings
}  // namespace tvn
