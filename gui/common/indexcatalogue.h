#pragma once
// Builds the catalogue's reorder and scan indexes (core/store/indexannexes.h)
// when they are missing, under a wait box: a second or two, once, on a big
// catalogue copied by SYNCHRO or written by an older version.

class QWidget;
class TdmKestravel;

// True when the indexes are there afterwards. A failure is not shown: the
// lists then read the whole table, more slowly.
bool PreparerIndexCatalogue(TdmKestravel& dm, QWidget* fenetre);
