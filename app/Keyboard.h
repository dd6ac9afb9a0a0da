// The window from the keyboard and through a screen reader. Everything here is
// set up in code after setupUi, from the form as it stands: the form's texts,
// rectangles and objects stay exactly as they are.
//
//   - every control has an accessible name: the catalogue's caption with its
//     page ("Pump A, Sampling Volumetric Flow [LPM]"), or for a control the
//     catalogue does not know, its own text or its caption's;
//   - a caption label standing beside (or, left-aligned, just above) a field
//     is that field's buddy;
//   - Tab walks each page in reading order, derived from the rectangles;
//   - the workflow commands have shortcuts that act as their buttons do, and
//     whose actions follow the buttons (no work on the 20 ms tick);
//   - the Help menu lists the keys and says what the program is;
//   - a control marked as changed says so in words, not by colour alone.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

class KVX_Configurator;
class QWidget;

namespace kvx {

// Names, buddies, Tab order, the commands' shortcuts and the watch on the
// workflow buttons. Called by the window's constructor right after the form's
// connections, while every page is still in the tab row (their titles name
// the controls).
void setUpKeyboard(KVX_Configurator& window);
// The Help menu: "Keyboard Shortcuts" and "About KVX Configurator". Called
// after the File menu, so that it stands to its right.
void addHelpMenu(KVX_Configurator& window);

// The controls of `container` (a page or a group) that Tab can stop at, in
// reading order: its children sorted into rows, top to bottom, and left to
// right within a row; a group box takes its place in a row as one item, and
// its own controls follow in the same order inside it. An item belongs to a
// row when it starts below the row's top by less than half the height of the
// row's shortest item (itself included).
QList<QWidget*> readingOrder(const QWidget* container);

// A workflow command with its key: the action (by object name) that the key
// triggers, and the text the Help menu's list gives it.
struct Command {
    QString action;
    QString text;
    QKeySequence key;
};
QList<Command> commands();

// What a marked control tells a screen reader and its tool tip: "Changed: on
// the instrument VALUE" while `changed`, nothing once it is not.
void sayChanged(QWidget* control, bool changed, const QString& onInstrument = QString());

} // namespace kvx
