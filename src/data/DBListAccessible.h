#pragma once

class DBList;

// What screen readers see of the data-bound list. A station list can hold hundreds of thousands
// of entries, and a reader that walks the window asks for every child of every object: the list
// therefore makes each entry only when a reader asks for it, and is a one-column table (readers
// do not walk a table's children one by one). Each entry stands at its place in the list, so a
// reader says where the user is ("6 of 50"). Moving through the list announces the entry landed
// on, so a reader hears every station as the user reaches it.
namespace DBListAccessible {

// Makes Qt use this interface for every DBList; safe to call more than once.
void install();

// The current entry has the keyboard focus: tells screen readers, naming the entry.
void announceFocus(DBList *list, int row);
// An entry was selected or deselected.
void announceSelection(DBList *list, int row, bool selected);

} // namespace DBListAccessible
