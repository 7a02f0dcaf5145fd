#pragma once
// The command message file: plain text, one "Key=value" line per field,
// each line ended by a line feed. Other writers of the queue add lines of
// their own ("DomainName="); the reader takes what it knows from any line.

#include <string>
#include <string_view>

#include "qxstore.h"

namespace qx {

// Lines longer than this are read in pieces of this many bytes, each piece
// taken as a line of its own.
inline constexpr size_t kCommandMessageLineLimit = 24999;

// The nine lines the library writes, in this order: Recipients, Server,
// Sender, Retries, NextSendTime, TimeAcquired, MessageID, Priority, Status.
std::string FormatCommandMessage(const COMMANDMESSAGE& message);

// Sets the record's fields from the lines of a file's contents ("\r\n" read
// as "\n"). Every non-empty line loses its last character, which is the
// line feed except on a last line without one. Fields without a line keep
// their values; the server field is never read.
void ReadCommandMessageText(std::string_view contents, COMMANDMESSAGE* message);

// One line without its line feed. Each key is searched anywhere in the line
// and one line may set several fields: "Recipients=a Sender=b" sets the
// recipients to "a Sender=b" and the sender to "b". Only "Status=" must
// begin the line. Text values are cut to their field; numbers are read as
// the C library reads a 32-bit long (leading blanks, a sign, digits; 0 when
// there are none; clamped at the limits).
void ApplyCommandMessageLine(std::string_view line, COMMANDMESSAGE* message);

}  // namespace qx
