#pragma once

class QWidget;

namespace qm {

// Qt widgets have no dialog control ids; these tag a widget with one and find
// it again among a parent's direct children.
void SetControlId(QWidget* control, int id);
int GetControlId(const QWidget* control);
QWidget* FindControl(const QWidget* parent, int id);

} // namespace qm
