#pragma once

namespace xpbar {

// Lets assistive technology see every XPProgressBar item as it sees a progress bar: the role
// ProgressBar, the value interface in the item's units (the value, and the lower and upper of
// from and to as minimum and maximum), the value as its text, and no name of its own. Installed
// once; later calls do nothing.
void InstallItemAccessibility();

} // namespace xpbar
