#pragma once
// Rebuilding a Calendar folder's index from its provider files
// (Appointment_RebuildIndex), and opening it (Appointment_OpenIndex): the
// provider files list every appointment by date, so the index is made from
// their entries and each appointment message's headers
// (appointment_index.h).

#include <cstddef>
#include <cstdint>

#include "qxstore.h"
#include "xml/xml_document.h"

namespace qx {

// "Calendar ReIndex Mode" (32-bit, under the library's settings root, read
// once per process; 0 when absent): while non-zero, a Calendar folder
// found changed is always rebuilt from its provider files.
uint32_t CalendarReIndexMode();
// Tests only: the next CalendarReIndexMode() reads the registry again.
void ForgetCalendarReIndexMode();

// Tests only: rebuilds of at least `appointments` appointments read their
// messages on helper threads (0 restores the usual number).
void SetRebuildReadAheadMinimum(size_t appointments);

// Rebuilds the object's index and commits it (the object's names and paths
// set, its document replaced by the rebuilt one). `mode` 99 says the caller
// holds the folder's index block file; the commit then does not take it.
//  - Without `range`: every provider file "Y*.CAL" of the folder (names
//    beginning with '_' or '.' and directories passed over) is walked, its
//    key the name up to the first '.', and every entry of it gets an
//    element. Once the index is saved the provider files are deleted: they
//    are written anew as appointments are saved. A folder without provider
//    files keeps its index file as it is, or, when it has none, the object
//    holds a new empty document (not saved).
//  - With `range` (its start, end, mailbox and postoffice are read): the
//    buckets of the local date of the range's start are walked, "Y", the
//    year's, the month's and the day's, and every entry that starts at or
//    after the range's start and ends at or before its end gets an element.
// 1 on success; 0 when no document can be made ("CoInitialize not
// called\n" is printed). `reserved` is not read.
uint32_t Appointment_RebuildIndex(StoreIndex* index, const APPOINTMENTRECORD* range,
                                  uint32_t reserved, uint32_t mode);

// Makes `document` the object's index document and saves it as the
// folder's index file, caching its folder status; `mode` as for the
// rebuild. A rebuilt document replaces whatever the file held, so no other
// writer is reported. True when saved.
bool CommitCalendarIndex(StoreIndex* index, const XmlDocument& document, uint32_t mode);

// The folder's index document. With `reuse` a document the object holds is
// returned as it is. Otherwise the folder's change flag is consumed (a
// folder without an index file counts as changed); a changed folder whose
// index file does not load, or any changed folder while "Calendar ReIndex
// Mode" is set, is rebuilt (and its index file's times set to now); else
// the index file is loaded. The object holds the document returned; none
// when nothing could be loaded or made.
XmlDocument Appointment_OpenIndex(StoreIndex* index, bool reuse);

// The Calendar folder's functions for the index layer
// (index/folder_type_handlers.h): the type scan rebuilds a folder only when
// its index file does not load or "Calendar ReIndex Mode" is set, and
// always leaves an index file behind; the document is
// Appointment_OpenIndex's with reuse.
uint32_t ScanCalendarFolder(StoreIndex* index, uint32_t mode);
uint32_t OpenCalendarDocument(StoreIndex* index);

}  // namespace qx
