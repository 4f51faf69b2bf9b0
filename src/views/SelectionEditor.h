#pragma once

class QAbstractItemView;

// Keeps the delegate's editor open on the selected row of a single-selection
// view, and on no other. The delegate paints every row's controls; the
// selected row gets real widgets in their place, which keyboard focus and a
// screen reader can reach and press, while the view stays one widget however
// many rows it has. The view's model and selection model must be set first.
namespace SelectionEditor {

void follow(QAbstractItemView* view);

} // namespace SelectionEditor
