#include "ui/ControlId.h"

#include <QVariant>
#include <QWidget>

namespace qm {

namespace {
constexpr const char* kIdProperty = "qm_controlId";
}

void SetControlId(QWidget* control, int id)
{
    control->setProperty(kIdProperty, id);
}

int GetControlId(const QWidget* control)
{
    const QVariant id = control->property(kIdProperty);
    return id.isValid() ? id.toInt() : -1;
}

QWidget* FindControl(const QWidget* parent, int id)
{
    if (!parent)
        return nullptr;
    const auto children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (GetControlId(child) == id)
            return child;
    }
    return nullptr;
}

} // namespace qm
