// What the Qt backend's files share.
#pragma once

class QComboBox;

// The property that carries a widget's toolkit id.
inline constexpr const char* QT_ID_PROPERTY = "toolkit_id";

// Installs the accessible interfaces of the toolkit's windows and lists (once).
void qt_accessible_start();
// Makes a list's entries' view hold its selection, so that a screen reader finds it there
// while the list is closed.
void qt_mirror_selection(QComboBox* list);
