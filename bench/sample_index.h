#pragma once
// An index of `entries` varied message entries, as a scan would build it,
// for the programs that time loading, saving and committing indexes.

#include <cstdint>
#include <cstdio>
#include <string>

#include "index/index_document.h"
#include "index/index_entry.h"
#include "message/message_headers.h"

inline qx::XmlDocument MakeSampleIndex(int entries) {
  qx::XmlDocument document = qx::XmlDocument::New();
  qx::InitializeIndexDocument(document);
  pugi::xml_node root = document.DocumentElement();
  for (int i = 0; i < entries; ++i) {
    qx::MessageHeaders record;
    record.message_date = "2011-03-01T11:00:00";
    record.received_date = "2011-03-01T11:00:05";
    record.modified_stamp = 1569038497u + static_cast<uint32_t>(i);
    record.sender = "Sender Number " + std::to_string(i) + " <sender" + std::to_string(i) + "@example.org>";
    record.recipients = "someone@example.org, other@example.org";
    record.copy_recipients = i % 3 == 0 ? "copy@example.org" : "";
    record.subject = "Re: the quarterly report & numbers <" + std::to_string(i) + ">";
    record.message_class = "IPM.Note";
    record.flag_words = i % 2 == 0 ? "\\SEEN \\ANSWERED" : "";
    record.read = i % 2 == 0 ? 1 : 0;
    record.file_size = 2000u + static_cast<uint32_t>(i % 5000);
    char name[64];
    std::snprintf(name, sizeof name, "%032X.MAI", i * 7919);
    qx::BuildMessageEntry(root, pugi::xml_node(), name, static_cast<uint32_t>(i + 1), record);
  }
  qx::SetDocumentLastUid(document, static_cast<uint32_t>(entries));
  return document;
}
