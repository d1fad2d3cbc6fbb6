// What a screen reader is told about the toolkit's windows and lists.
//
// Qt names a drop-down list by its current entry on Linux, so that a list is announced as
// "combo box, 44100"; a list of ours is named by its caption instead (its accessible name,
// set from the label that names it), keeps its entry as its value, and has its entries' view
// as its child, where the selection is read.  A toolkit window is a frame named by its title.
#include "toolkit/qt/qt_internal.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QItemSelectionModel>

namespace {

class CaptionedList : public QAccessibleWidget {
  public:
    explicit CaptionedList(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && !list()->accessibleName().isEmpty())
            return list()->accessibleName();
        if (t == QAccessible::Name || t == QAccessible::Value) return list()->currentText();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && child->object() == list()->view() ? 0 : -1;
    }

  private:
    QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
};

// Asked while a widget is still being made (a screen reader may be told of it then, and its
// answer is kept), so a list is known by its class alone: every combo box of the program is a
// toolkit list.
QAccessibleInterface* interface_for(const QString&, QObject* object) {
    if (auto* list = qobject_cast<QComboBox*>(object)) return new CaptionedList(list);
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && widget->isWindow() && widget->property(QT_ID_PROPERTY).isValid())
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

} // namespace

void qt_accessible_start() {
    static bool installed = false;
    if (!installed) QAccessible::installFactory(interface_for);
    installed = true;
}

void qt_mirror_selection(QComboBox* list) {
    QItemSelectionModel* selection = list->view()->selectionModel();
    const QModelIndex at =
        list->model()->index(list->currentIndex(), list->modelColumn(), list->rootModelIndex());
    if (at.isValid())
        selection->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
    else
        selection->clear();
}
