#include "views/SelectionEditor.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QLineEdit>

namespace SelectionEditor {

void follow(QAbstractItemView* view) {
    QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, view,
                     [view](const QItemSelection& selected, const QItemSelection& deselected) {
                         for (const QModelIndex& index : deselected.indexes())
                             view->closePersistentEditor(index);
                         for (const QModelIndex& index : selected.indexes()) {
                             view->openPersistentEditor(index);
                             // The view selects a new editor's text, as for a
                             // rename; this one is shown, not yet typed in.
                             QWidget* editor = view->indexWidget(index);
                             if (auto* field = qobject_cast<QLineEdit*>(
                                     editor ? editor->focusProxy() : nullptr)) {
                                 field->deselect();
                                 field->home(false);
                             }
                         }
                     });
}

} // namespace SelectionEditor
