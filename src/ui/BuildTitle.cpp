#include "ui/BuildTitle.h"

#include "Version.h"

namespace qm {

QString g_strTitle = QStringLiteral("Quillmere");

void BuildTitle()
{
    g_strTitle = QStringLiteral("Quillmere v%1.%2.%3.%4")
                     .arg(kVersionMajor)
                     .arg(kVersionMinor)
                     .arg(kVersionPatch)
                     .arg(kVersionTweak);
}

} // namespace qm
