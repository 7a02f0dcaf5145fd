#pragma once
// The cards of an address book file: programs export a whole address book
// as one file of cards one after another, while a contact folder holds one
// card per file.

#include <string_view>
#include <vector>

namespace qx {

struct VCardCards {
  // Each card from its "BEGIN:VCARD" line through its "END:VCARD" line and
  // that line's break, byte for byte.
  std::vector<std::string_view> cards;
  // A card that began and never ended (it is not among `cards`).
  bool unterminated = false;
};

// The cards of `text`, in order. Lines are compared without regard to case
// and trailing blanks; a card inside a card (a 2.1 AGENT) stays part of the
// card around it; text between cards is passed over, as is a byte order
// mark in front of the first line.
VCardCards SplitVCardCards(std::string_view text);

}  // namespace qx
