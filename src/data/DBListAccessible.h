#pragma once

class DBList;

// What screen readers see of the data-bound list. A station list can hold hundreds of thousands
// of entries, and a reader that walks the window asks for every child of every object: the list
// therefore offers as children only the entries a sighted user sees (the rows in view) and the
// current entry, each made when first asked for. Moving through the list announces the entry
// landed on, so a reader hears every station as the user reaches it.
namespace DBListAccessible {

// Makes Qt use this interface for every DBList; safe to call more than once.
void install();

// The current entry has the keyboard focus: tells screen readers, naming the entry.
void announceFocus(DBList *list, int row);
// An entry was selected or deselected.
void announceSelection(DBList *list, int row, bool selected);

} // namespace DBListAccessible
