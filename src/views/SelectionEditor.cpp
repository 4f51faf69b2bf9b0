#include "views/SelectionEditor.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

namespace SelectionEditor {

void follow(QAbstractItemView* view) {
    QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, view,
                     [view](const QItemSelection& selected, const QItemSelection& deselected) {
                         for (const QModelIndex& index : deselected.indexes())
                             view->closePersistentEditor(index);
                         for (const QModelIndex& index : selected.indexes())
                             view->openPersistentEditor(index);
                     });
}

} // namespace SelectionEditor
