#pragma once

#include <QString>

namespace qm {

// The program's title with its version, shown in the status bar, the About
// box and by --version. Built once by BuildTitle().
extern QString g_strTitle;

// "Quillmere v<major>.<minor>.<patch>.<tweak>" from the build's version.
void BuildTitle();

} // namespace qm
